#include "app/TForm1.h"
#include "app/UpdaterApplication.h"
#include "launch/ContextMenu.h"
#include "monitor/ServerControls.h"
#include "platform/QuitRequest.h"
#include "platform/RegistryStore.h"
#include "support/TestSupport.h"
#include "ui_TForm1.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

using namespace updater;

namespace {

const QByteArray TwoServers = "[Main]\r\nTitleWindowName=Tarvo Online\r\nHowManyServers=2\r\nPatch_List=\r\n"
                              "[Config_1]\r\nServerName=Alpha\r\n[Config_2]\r\nServerName=Beta\r\n";
const QByteArray OneServer =
    "[Main]\r\nTitleWindowName=Solo\r\nPatch_List=\r\n[Config_1]\r\nServerName=Alpha\r\n";

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_settingsHome;
    QString m_journal;

    QList<QJsonObject> journal() const { return updater::test::readDialogJournal(m_journal); }

    void clearJournal() const { QFile::remove(m_journal); }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_settingsHome.path().toLocal8Bit());
        m_journal = m_settingsHome.filePath("dialogs.jsonl");
        qputenv("UPDATER_DIALOG_LOG", m_journal.toLocal8Bit());
        // Close questions: No, Yes; everything else takes its default button.
        qputenv("UPDATER_DIALOG_ANSWERS", "OK,No,Yes");
    }

    void init()
    {
        resetQuitRequest();
        clearJournal();
    }

    // Runs first: it consumes the scripted answers "OK,No,Yes".
    void closeQuestionSavesOnlyOnYes()
    {
        test::GameFolder folder;
        folder.write("Tarvo-Updater/updater4.cfg", OneServer);
        folder.write("Tarvo-Updater/GUI/LOGO.BMP", test::bmpLogo());
        QFile::remove(QString::fromStdString(RegistryStore::defaultPath()));
        TForm1 form; // first start notice answered "OK"
        clearJournal();

        // "No": the window stays and nothing is written.
        QVERIFY(!form.close());
        QVERIFY(!QFile::exists(QString::fromStdString(RegistryStore::defaultPath())));
        QVERIFY(!isQuitPending());
        // "Yes": the settings are saved.
        form.runState().freedomMouseStatus = true;
        QVERIFY(form.close());
        // The window is a tool window, so closing it alone would not end the application.
        QVERIFY(isQuitPending());
        const RegistryStore store;
        const auto status = store.value("\\software\\Tarvo Gv Tools\\Tarvo Updater", "FreedomMouseStatus");
        QVERIFY(status.has_value());
        QCOMPARE(std::get<uint32_t>(*status), 1u);

        const QList<QJsonObject> boxes = journal();
        QCOMPARE(boxes.size(), 2);
        for (const QJsonObject& box : boxes) {
            QCOMPARE(box["title"].toString(), QString("Confirm"));
            QCOMPARE(box["text"].toString(), QString("It's bitter like beer for kids...\n\nThe End?"));
            QCOMPARE(box["icon"].toString(), QString("question"));
        }
        QCOMPARE(boxes[0]["answer"].toString(), QString("No"));
        QCOMPARE(boxes[1]["answer"].toString(), QString("Yes"));
    }

    void controlsSitWhereTheLayoutPutsThem()
    {
        test::GameFolder folder;
        folder.write("Tarvo-Updater/updater4.cfg", TwoServers);
        folder.write("Tarvo-Updater/GUI/LOGO.BMP", test::bmpLogo());
        TForm1 form;
        Ui::TForm1* ui = form.controls();

        QCOMPARE(form.size(), QSize(512, 537));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        struct Expected
        {
            QWidget* widget;
            QRect geometry;
        };
        const Expected expected[] = {
            {ui->CppWebBrowser1, {0, 0, 512, 359}},
            {ui->GroupBox_Download, {3, 362, 307, 103}},
            {ui->GroupBox_Info, {3, 363, 307, 103}},
            {ui->GroupBox_Info2, {218, 372, 89, 91}},
            {ui->GroupBox_DownloadStatus, {6, 468, 499, 47}},
            {ui->ProgressBar_Download, {16, 18, 425, 20}},
            {ui->GroupBox_Ping_S1, {6, 468, 248, 45}},
            {ui->GroupBox_Ping_S2, {258, 468, 248, 45}},
            {ui->AdvProgress_S1, {12, 20, 182, 17}},
            {ui->AdvProgress_S2, {12, 20, 182, 17}},
            {ui->Label_SteahlModeWarming_S1, {29, 22, 187, 13}},
            {ui->Button_Start1, {319, 370, 94, 45}},
            {ui->Button_Start2, {319, 420, 94, 45}},
            {ui->SpeedButton_BrowserReloadPage, {424, 368, 35, 25}},
            {ui->SpeedButton_BrowserBackPage, {467, 368, 35, 25}},
            {ui->SpeedButton_Settings, {424, 406, 80, 27}},
            {ui->Button_Quit, {422, 440, 80, 25}},
            {ui->HTMLStatusBar1, {0, 517, 512, 20}},
            {ui->Image_Logo, {213, 11, 89, 84}},
            {ui->Bevel1, {210, 12, 3, 81}},
        };
        for (const Expected& e : expected)
            QVERIFY2(e.widget->geometry() == e.geometry, qPrintable(e.widget->objectName()));

        QCOMPARE(ui->Server1_Image_Account->geometry(), QRect(188, 30, 16, 16));
        QCOMPARE(ui->Server1_Image_Map->geometry(), QRect(188, 72, 16, 16));
        QCOMPARE(ui->Server2_Image_Char->geometry(), QRect(69, 42, 16, 16));
        QCOMPARE(ui->Label_Status_Map_S2->pos(), QPoint(1, 66));
        QCOMPARE(ui->Label_Filename->pos(), QPoint(100, 26));
        QCOMPARE(ui->Image3->geometry(), QRect(10, 60, 32, 32));
        QCOMPARE(ui->Image1->geometry(), QRect(10, 60, 32, 32));
    }

    void initialTextsAndStates()
    {
        test::GameFolder folder;
        folder.write("Tarvo-Updater/updater4.cfg", TwoServers);
        folder.write("Tarvo-Updater/GUI/LOGO.BMP", test::bmpLogo());
        TForm1 form;
        Ui::TForm1* ui = form.controls();

        for (QWidget* hidden :
             {(QWidget*)ui->GroupBox_Download, (QWidget*)ui->GroupBox_Info, (QWidget*)ui->GroupBox_Info2,
              (QWidget*)ui->GroupBox_DownloadStatus, (QWidget*)ui->GroupBox_Ping_S1,
              (QWidget*)ui->GroupBox_Ping_S2, (QWidget*)ui->Button_Start2, (QWidget*)ui->Image_Logo,
              (QWidget*)ui->Memo1, (QWidget*)ui->Label_SteahlModeWarming_S1})
            QVERIFY2(hidden->isHidden(), qPrintable(hidden->objectName()));
        QVERIFY(!ui->Button_Start1->isEnabled());
        QVERIFY(!ui->Button_Start2->isEnabled());
        QVERIFY(!ui->SpeedButton_BrowserReloadPage->isEnabled());
        QVERIFY(ui->SpeedButton_BrowserBackPage->isEnabled());
        QVERIFY(ui->Button_Quit->isEnabled());
        QCOMPARE(ui->SpeedButton_BrowserReloadPage->text(), QString("RE"));
        QCOMPARE(ui->SpeedButton_BrowserBackPage->text(), QString("OFF"));
        QCOMPARE(ui->SpeedButton_Settings->text(), QString("Settings"));
        QCOMPARE(ui->Button_Quit->text(), QString("QUIT"));
        QCOMPARE(ui->GroupBox_Download->title(), QString(" Download "));
        QCOMPARE(ui->GroupBox_Info->title(), QString(" Info "));
        QCOMPARE(ui->GroupBox_DownloadStatus->title(), QString("Download"));
        QCOMPARE(ui->Label1->text(), QString("Account Sever: "));
        QCOMPARE(ui->Label3->text(), QString("Char Server:"));
        QCOMPARE(ui->Label4->text(), QString("Map Sever:"));
        QCOMPARE(ui->Label6->text(), QString("Filename:"));
        QCOMPARE(ui->Label8->text(), QString("Size:"));
        QCOMPARE(ui->Label7->text(), QString("Transfer:"));
        QCOMPARE(ui->Label_Status_Char_S2->text(), QString("Check..."));
        QCOMPARE(ui->Label_PingTime_S1->text(), QString("?? ms"));
        QCOMPARE(ui->Label_SteahlModeWarming_S2->text(), QString("Server don't respond to Ping"));
        QCOMPARE(ui->Label_ProzentAnzeige->text(), QString("0 %"));
        QCOMPARE(ui->ProgressBar_Download->value(), 0);
        QCOMPARE(ui->ProgressBar_Download->maximum(), 100);
        QCOMPARE(ui->AdvProgress_S1->position(), 100);
        QCOMPARE(ui->AdvProgress_S1->steps(), 200);
        QCOMPARE(ui->AdvProgress_S2->steps(), 20);
        QCOMPARE(ui->HTMLStatusBar1->panelText(0), QString("Checking..."));
        QVERIFY(!form.timerWhenShowUp().isActive());
        QCOMPARE(form.timerWhenShowUp().interval(), 3000);
        QVERIFY(form.timer1().isActive());
        QCOMPARE(form.timer1().interval(), 1000);
        // Every status picture starts with the grey house, the same picture for all six.
        const QImage grey = ui->Server1_Image_Account->pixmap().toImage();
        QVERIFY(!grey.isNull());
        QCOMPARE(ui->Server2_Image_Map->pixmap().toImage(), grey);
        QVERIFY(!ui->Image_Logo->pixmap().isNull());
    }

    void captionsComeFromTheConfiguration_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("name2");
        QTest::newRow("two servers") << TwoServers << "Tarvo Online"
                                     << "Beta";
        QTest::newRow("one server") << OneServer << "Solo"
                                    << "";
        QTest::newRow("nothing configured")
            << QByteArray("[Main]\r\n") << "Bad Configured Updater (kick GM's ass!)"
            << "";
    }

    void captionsComeFromTheConfiguration()
    {
        QFETCH(QByteArray, config);
        QFETCH(QString, title);
        QFETCH(QString, name2);
        test::GameFolder folder;
        folder.write("Tarvo-Updater/updater4.cfg", config);
        folder.write("Tarvo-Updater/GUI/LOGO.BMP", test::bmpLogo());
        TForm1 form;
        Ui::TForm1* ui = form.controls();
        const QString name1 = config.contains("Alpha") ? "Alpha" : "ERROR";
        QCOMPARE(form.windowTitle(), title);
        QCOMPARE(ui->Label_ServerName1->text(), name1);
        QCOMPARE(ui->Label_ServerName2->text(), name2);
        QCOMPARE(ui->GroupBox_Ping_S1->title(), "Ping " + name1);
        QCOMPARE(ui->GroupBox_Ping_S2->title(), "Ping " + name2);
        QCOMPARE(ui->Button_Start1->text(), "Go " + name1);
        QCOMPARE(ui->Button_Start2->text(), "Go " + name2);
    }

    void missingLogoFailsConstruction()
    {
        test::GameFolder folder;
        folder.write("Tarvo-Updater/updater4.cfg", OneServer);
        QVERIFY_THROWS_EXCEPTION(std::exception, TForm1 form);
        try {
            TForm1 form;
        } catch (const std::exception& error) {
            QCOMPARE(QString(error.what()), QString("Cannot open file Tarvo-Updater\\GUI\\LOGO.BMP"));
        }
    }

    void logoIsFoundWhateverTheLetterCase()
    {
        test::GameFolder folder;
        folder.write("tarvo-updater/UPDATER4.CFG", OneServer);
        folder.write("tarvo-updater/gui/logo.bmp", test::bmpLogo());
        TForm1 form;
        QVERIFY(!form.controls()->Image_Logo->pixmap().isNull());
        QCOMPARE(form.windowTitle(), QString("Solo"));
    }

    void eachMonitorGetsItsOwnServersControls()
    {
        test::GameFolder folder;
        folder.write("Tarvo-Updater/updater4.cfg", TwoServers);
        folder.write("Tarvo-Updater/GUI/LOGO.BMP", test::bmpLogo());
        TForm1 form;
        Ui::TForm1* ui = form.controls();
        const MonitorWindow one = form.monitorWindow(1);
        const MonitorWindow two = form.monitorWindow(2);
        QCOMPARE(one.server.statusCaptions[0], ui->Label_Status_Account_S1);
        QCOMPARE(one.server.statusPictures[2], ui->Server1_Image_Map);
        QCOMPARE(one.server.infoPanel, static_cast<QWidget*>(ui->GroupBox_Info));
        QCOMPARE(one.server.gauge, ui->AdvProgress_S1);
        QCOMPARE(one.server.warning, ui->Label_SteahlModeWarming_S1);
        QCOMPARE(one.server.startButton, ui->Button_Start1);
        QCOMPARE(two.server.statusCaptions[2], ui->Label_Status_Map_S2);
        QCOMPARE(two.server.statusPictures[1], ui->Server2_Image_Char);
        QCOMPARE(two.server.infoPanel, static_cast<QWidget*>(ui->GroupBox_Info2));
        QCOMPARE(two.server.pingBox, ui->GroupBox_Ping_S2);
        QCOMPARE(two.server.pingTime, ui->Label_PingTime_S2);
        QCOMPARE(two.server.startButton, ui->Button_Start2);
        // The picture callback gives the house of the index: blue differs from grey.
        one.setPicture(ui->Server1_Image_Char, 1);
        QVERIFY(ui->Server1_Image_Char->pixmap().toImage() != ui->Server1_Image_Account->pixmap().toImage());
    }

    void rightClickAnywhereOpensTheContextMenu()
    {
        test::GameFolder folder;
        folder.write("Tarvo-Updater/updater4.cfg", OneServer);
        folder.write("Tarvo-Updater/GUI/LOGO.BMP", test::bmpLogo());
        TForm1 form;
        QMenu* menu = form.contextMenu();
        QCOMPARE(menu->objectName(), QString("PopupMenu1"));
        // A left release does nothing; a right release on any control, the news page included, opens it.
        QTest::mouseRelease(form.controls()->Label1, Qt::LeftButton);
        QVERIFY(!menu->isVisible());
        for (QWidget* target :
             {(QWidget*)form.controls()->Label_ServerName1, (QWidget*)form.controls()->CppWebBrowser1}) {
            QTest::mouseRelease(target, Qt::RightButton);
            QTRY_VERIFY(menu->isVisible());
            menu->hide();
        }
    }

    void errorOfAStartIsShownAndTheWindowGoesOn()
    {
        test::GameFolder folder;
        // The connection file's name is empty, so only the folder is left as its path.
        folder.write("Tarvo-Updater/updater4.cfg", "[Main]\r\nHowManyClientInfos=1\r\nClientInfoName=\r\n"
                                                   "[Config_1]\r\nServerName=Alpha\r\nClientName=game\r\n");
        folder.write("Tarvo-Updater/GUI/LOGO.BMP", test::bmpLogo());
        folder.write("Data/keep.txt", "x");
        TForm1 form;
        QFile::remove(QString::fromStdString(RegistryStore::defaultPath()));
        clearJournal();
        form.controls()->Button_Start1->setEnabled(true);
        QTest::mouseClick(form.controls()->Button_Start1, Qt::LeftButton);
        const QList<QJsonObject> boxes = journal();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]["text"].toString(), QString("Cannot create file Data\\"));
        QCOMPARE(boxes[0]["icon"].toString(), QString("stop"));
        QVERIFY(!isQuitPending());
        // The later steps did not run: no settings were saved.
        QVERIFY(!QFile::exists(QString::fromStdString(RegistryStore::defaultPath())));
    }

    void ctrlNIsSwallowedAndNAlonePasses()
    {
        test::GameFolder folder;
        folder.write("Tarvo-Updater/updater4.cfg", OneServer);
        folder.write("Tarvo-Updater/GUI/LOGO.BMP", test::bmpLogo());
        TForm1 form;
        QLineEdit* edit = new QLineEdit(&form);
        edit->setGeometry(0, 0, 100, 20);
        QTest::keyClick(edit, Qt::Key_N);
        QTest::keyClick(edit, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(edit->text(), QString("n"));
    }
};

int main(int argc, char** argv)
{
    // The launcher's own application object: it shows errors that escape a handler.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    UpdaterApplication app(argc, argv);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mainwindow.moc"
