#include "app/UpdaterWindow.h"
#include "app/UpdaterApplication.h"
#include "launch/ContextMenu.h"
#include "monitor/ServerControls.h"
#include "platform/QuitRequest.h"
#include "platform/RegistryStore.h"
#include "support/TestSupport.h"
#include "ui_UpdaterWindow.h"

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
        UpdaterWindow form; // first start notice answered "OK"
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
        UpdaterWindow form;
        Ui::UpdaterWindow* ui = form.controls();

        QCOMPARE(form.size(), QSize(512, 537));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        struct Expected
        {
            QWidget* widget;
            QRect geometry;
        };
        const Expected expected[] = {
            {ui->newsView, {0, 0, 512, 359}},
            {ui->downloadBox, {3, 362, 307, 103}},
            {ui->serverInfo1, {3, 363, 307, 103}},
            {ui->serverInfo2, {218, 372, 89, 91}},
            {ui->downloadStatusBox, {6, 468, 499, 47}},
            {ui->downloadBar, {16, 18, 425, 20}},
            {ui->pingBox1, {6, 468, 248, 45}},
            {ui->pingBox2, {258, 468, 248, 45}},
            {ui->pingGauge1, {12, 20, 182, 17}},
            {ui->pingGauge2, {12, 20, 182, 17}},
            {ui->noAnswerWarning1, {29, 22, 187, 13}},
            {ui->startButton1, {319, 370, 94, 45}},
            {ui->startButton2, {319, 420, 94, 45}},
            {ui->reloadButton, {424, 368, 35, 25}},
            {ui->musicButton, {467, 368, 35, 25}},
            {ui->settingsButton, {424, 406, 80, 27}},
            {ui->quitButton, {422, 440, 80, 25}},
            {ui->statusLine, {0, 517, 512, 20}},
            {ui->logo, {213, 11, 89, 84}},
            {ui->infoDivider, {210, 12, 3, 81}},
        };
        for (const Expected& e : expected)
            QVERIFY2(e.widget->geometry() == e.geometry, qPrintable(e.widget->objectName()));

        QCOMPARE(ui->accountHouse1->geometry(), QRect(188, 30, 16, 16));
        QCOMPARE(ui->mapHouse1->geometry(), QRect(188, 72, 16, 16));
        QCOMPARE(ui->charHouse2->geometry(), QRect(69, 42, 16, 16));
        QCOMPARE(ui->mapStatus2->pos(), QPoint(1, 66));
        QCOMPARE(ui->fileNameLabel->pos(), QPoint(100, 26));
        QCOMPARE(ui->downloadPicture->geometry(), QRect(10, 60, 32, 32));
        QCOMPARE(ui->serverPicture->geometry(), QRect(10, 60, 32, 32));
    }

    void initialTextsAndStates()
    {
        test::GameFolder folder;
        folder.write("Tarvo-Updater/updater4.cfg", TwoServers);
        folder.write("Tarvo-Updater/GUI/LOGO.BMP", test::bmpLogo());
        UpdaterWindow form;
        Ui::UpdaterWindow* ui = form.controls();

        for (QWidget* hidden :
             {(QWidget*)ui->downloadBox, (QWidget*)ui->serverInfo1, (QWidget*)ui->serverInfo2,
              (QWidget*)ui->downloadStatusBox, (QWidget*)ui->pingBox1,
              (QWidget*)ui->pingBox2, (QWidget*)ui->startButton2, (QWidget*)ui->logo,
              (QWidget*)ui->notesMemo, (QWidget*)ui->noAnswerWarning1})
            QVERIFY2(hidden->isHidden(), qPrintable(hidden->objectName()));
        QVERIFY(!ui->startButton1->isEnabled());
        QVERIFY(!ui->startButton2->isEnabled());
        QVERIFY(!ui->reloadButton->isEnabled());
        QVERIFY(ui->musicButton->isEnabled());
        QVERIFY(ui->quitButton->isEnabled());
        QCOMPARE(ui->reloadButton->text(), QString("RE"));
        QCOMPARE(ui->musicButton->text(), QString("OFF"));
        QCOMPARE(ui->settingsButton->text(), QString("Settings"));
        QCOMPARE(ui->quitButton->text(), QString("QUIT"));
        QCOMPARE(ui->downloadBox->title(), QString(" Download "));
        QCOMPARE(ui->serverInfo1->title(), QString(" Info "));
        QCOMPARE(ui->downloadStatusBox->title(), QString("Download"));
        QCOMPARE(ui->accountCaption->text(), QString("Account Sever: "));
        QCOMPARE(ui->charCaption->text(), QString("Char Server:"));
        QCOMPARE(ui->mapCaption->text(), QString("Map Sever:"));
        QCOMPARE(ui->fileNameCaption->text(), QString("Filename:"));
        QCOMPARE(ui->sizeCaption->text(), QString("Size:"));
        QCOMPARE(ui->transferCaption->text(), QString("Transfer:"));
        QCOMPARE(ui->charStatus2->text(), QString("Check..."));
        QCOMPARE(ui->pingTime1->text(), QString("?? ms"));
        QCOMPARE(ui->noAnswerWarning2->text(), QString("Server don't respond to Ping"));
        QCOMPARE(ui->percentLabel->text(), QString("0 %"));
        QCOMPARE(ui->downloadBar->value(), 0);
        QCOMPARE(ui->downloadBar->maximum(), 100);
        QCOMPARE(ui->pingGauge1->position(), 100);
        QCOMPARE(ui->pingGauge1->steps(), 200);
        QCOMPARE(ui->pingGauge2->steps(), 20);
        QCOMPARE(ui->statusLine->panelText(0), QString("Checking..."));
        QVERIFY(!form.timerWhenShowUp().isActive());
        QCOMPARE(form.timerWhenShowUp().interval(), 3000);
        QVERIFY(form.timer1().isActive());
        QCOMPARE(form.timer1().interval(), 1000);
        // Every status picture starts with the grey house, the same picture for all six.
        const QImage grey = ui->accountHouse1->pixmap().toImage();
        QVERIFY(!grey.isNull());
        QCOMPARE(ui->mapHouse2->pixmap().toImage(), grey);
        QVERIFY(!ui->logo->pixmap().isNull());
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
        UpdaterWindow form;
        Ui::UpdaterWindow* ui = form.controls();
        const QString name1 = config.contains("Alpha") ? "Alpha" : "ERROR";
        QCOMPARE(form.windowTitle(), title);
        QCOMPARE(ui->serverName1->text(), name1);
        QCOMPARE(ui->serverName2->text(), name2);
        QCOMPARE(ui->pingBox1->title(), "Ping " + name1);
        QCOMPARE(ui->pingBox2->title(), "Ping " + name2);
        QCOMPARE(ui->startButton1->text(), "Go " + name1);
        QCOMPARE(ui->startButton2->text(), "Go " + name2);
    }

    void missingLogoFailsConstruction()
    {
        test::GameFolder folder;
        folder.write("Tarvo-Updater/updater4.cfg", OneServer);
        QVERIFY_THROWS_EXCEPTION(std::exception, UpdaterWindow form);
        try {
            UpdaterWindow form;
        } catch (const std::exception& error) {
            QCOMPARE(QString(error.what()), QString("Cannot open file Tarvo-Updater\\GUI\\LOGO.BMP"));
        }
    }

    void logoIsFoundWhateverTheLetterCase()
    {
        test::GameFolder folder;
        folder.write("tarvo-updater/UPDATER4.CFG", OneServer);
        folder.write("tarvo-updater/gui/logo.bmp", test::bmpLogo());
        UpdaterWindow form;
        QVERIFY(!form.controls()->logo->pixmap().isNull());
        QCOMPARE(form.windowTitle(), QString("Solo"));
    }

    void eachMonitorGetsItsOwnServersControls()
    {
        test::GameFolder folder;
        folder.write("Tarvo-Updater/updater4.cfg", TwoServers);
        folder.write("Tarvo-Updater/GUI/LOGO.BMP", test::bmpLogo());
        UpdaterWindow form;
        Ui::UpdaterWindow* ui = form.controls();
        const MonitorWindow one = form.monitorWindow(1);
        const MonitorWindow two = form.monitorWindow(2);
        QCOMPARE(one.server.statusCaptions[0], ui->accountStatus1);
        QCOMPARE(one.server.statusPictures[2], ui->mapHouse1);
        QCOMPARE(one.server.infoPanel, static_cast<QWidget*>(ui->serverInfo1));
        QCOMPARE(one.server.gauge, ui->pingGauge1);
        QCOMPARE(one.server.warning, ui->noAnswerWarning1);
        QCOMPARE(one.server.startButton, ui->startButton1);
        QCOMPARE(two.server.statusCaptions[2], ui->mapStatus2);
        QCOMPARE(two.server.statusPictures[1], ui->charHouse2);
        QCOMPARE(two.server.infoPanel, static_cast<QWidget*>(ui->serverInfo2));
        QCOMPARE(two.server.pingBox, ui->pingBox2);
        QCOMPARE(two.server.pingTime, ui->pingTime2);
        QCOMPARE(two.server.startButton, ui->startButton2);
        // The picture callback gives the house of the index: blue differs from grey.
        one.setPicture(ui->charHouse1, 1);
        QVERIFY(ui->charHouse1->pixmap().toImage() != ui->accountHouse1->pixmap().toImage());
    }

    void rightClickAnywhereOpensTheContextMenu()
    {
        test::GameFolder folder;
        folder.write("Tarvo-Updater/updater4.cfg", OneServer);
        folder.write("Tarvo-Updater/GUI/LOGO.BMP", test::bmpLogo());
        UpdaterWindow form;
        QMenu* menu = form.contextMenu();
        QCOMPARE(menu->objectName(), QString("contextMenu"));
        // A left release does nothing; a right release on any control, the news page included, opens it.
        QTest::mouseRelease(form.controls()->accountCaption, Qt::LeftButton);
        QVERIFY(!menu->isVisible());
        for (QWidget* target :
             {(QWidget*)form.controls()->serverName1, (QWidget*)form.controls()->newsView}) {
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
        UpdaterWindow form;
        QFile::remove(QString::fromStdString(RegistryStore::defaultPath()));
        clearJournal();
        form.controls()->startButton1->setEnabled(true);
        QTest::mouseClick(form.controls()->startButton1, Qt::LeftButton);
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
        UpdaterWindow form;
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
