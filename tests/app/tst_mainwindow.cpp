// The main window: its layout and first states, captions from the configuration, the logo, the
// settings store at start and end, the close question, the application-wide mouse and key rules,
// the configuration refresh, an update run up to the server display, the music's error box, and
// the end of its workers.
#include "app/Messages.h"
#include "app/QuitRequest.h"
#include "app/SettingsMenu.h"
#include "app/TestHooks.h"
#include "app/UpdaterApplication.h"
#include "app/UpdaterWindow.h"
#include "platform/RegistryStore.h"
#include "support/DialogJournal.h"
#include "support/RarFixture.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSupport.h"
#include "widgets/HtmlStatusBar.h"
#include "widgets/LevelGauge.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTcpServer>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

using namespace updater;
using test::DialogJournal;
using test::GameFolder;

Q_DECLARE_METATYPE(updater::DialogAnswer)

namespace {

const QByteArray TwoServers = "[Main]\r\nTitleWindowName=Tarvo Online\r\nHowManyServers=2\r\nPatch_List=\r\n"
                              "[Config_1]\r\nServerName=Alpha\r\n[Config_2]\r\nServerName=Beta\r\n";
const QByteArray OneServer =
    "[Main]\r\nTitleWindowName=Solo\r\nPatch_List=\r\n[Config_1]\r\nServerName=Alpha\r\n";

const QByteArray SettingsKeyHeader =
    "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvo Gv Tools\\Tarvo Updater]\r\n";

QString settingsFile()
{
    return QString::fromStdString(RegistryStore::defaultPath());
}

// Whatever stands in the place of the settings store, a folder included, is removed.
void removeSettingsStore()
{
    QDir(settingsFile()).removeRecursively();
    QFile::remove(settingsFile());
}

// Each box of the journal as "title | icon | buttons | answer".
QStringList boxesOf(const DialogJournal& journal)
{
    QStringList boxes;
    for (const QJsonObject& box : journal.entries())
        boxes << QStringList{box["title"].toString(), box["icon"].toString(),
                             box["buttons"].toVariant().toStringList().join('/'), box["answer"].toString()}
                     .join(" | ");
    return boxes;
}

// The same picture gets the same name: a short digest of its pixels.
QString pictureName(const QImage& image)
{
    const QByteArray bytes(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(8);
}

QString nameOf(const QObject* object)
{
    return object ? object->objectName() : QString("<none>");
}

// The launcher's temporary files anywhere in the game folder, parts of downloads included.
QStringList temporaryFiles(const QString& folder)
{
    QStringList found;
    QDirIterator it(folder, {".updater-*", "*.part"}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

} // namespace

// A game folder with what a window needs to start: the configuration and the logo.
struct WindowFolder : GameFolder
{
    explicit WindowFolder(const QByteArray& config)
    {
        write("Tarvo-Updater/updater4.cfg", config);
        write("Tarvo-Updater/GUI/LOGO.BMP", test::bmpLogo());
    }
};

class MainWindowTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_settingsHome;
    // A window with two servers that no test changes, never shown (so no worker runs).
    std::unique_ptr<WindowFolder> m_folder;
    std::unique_ptr<UpdaterWindow> m_window;

    template <typename T = QWidget> T* control(const QString& name) const
    {
        return m_window->findChild<T*>(name);
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_settingsHome.path().toLocal8Bit());
        m_folder = std::make_unique<WindowFolder>(TwoServers);
        DialogJournal journal;
        m_window = std::make_unique<UpdaterWindow>();
    }

    void cleanupTestCase()
    {
        m_window.reset();
        m_folder.reset();
    }

    // Every text the window itself sets, and the longest round trip, fits its control in the font
    // the window uses (texts from the configuration are the community's business).
    // A tool window has no taskbar entry on many desktops: minimised, it could not be found again.
    void windowHasATaskbarEntryAndNoMaximise()
    {
        const Qt::WindowFlags flags = m_window->windowFlags();
        QCOMPARE(m_window->windowType(), Qt::Window);
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    }

    void everyFixedTextFitsItsControl()
    {
        const QStringList fromConfiguration{"serverName1", "serverName2", "startButton1", "startButton2",
                                            "fileNameLabel"};
        QStringList clipped;
        const auto check = [&](QWidget* control, const QString& text, int room) {
            const QFontMetrics metrics(control->font());
            if (metrics.horizontalAdvance(text) > room || metrics.height() > control->height())
                clipped << QString("%1: \"%2\" needs %3 px, has %4")
                               .arg(control->objectName(), text)
                               .arg(metrics.horizontalAdvance(text))
                               .arg(room);
        };
        for (QLabel* label : m_window->findChildren<QLabel*>())
            if (!label->text().isEmpty() && !fromConfiguration.contains(label->objectName()))
                check(label, label->text(), label->contentsRect().width());
        for (QAbstractButton* button : m_window->findChildren<QAbstractButton*>())
            if (!button->text().isEmpty() && !fromConfiguration.contains(button->objectName()))
                check(button, button->text(), button->width() - 6);
        for (QLabel* pingTime : {control<QLabel>("pingTime1"), control<QLabel>("pingTime2")})
            check(pingTime, "9999 ms", pingTime->contentsRect().width());
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("\n")));
    }

    void init()
    {
        resetQuitRequest();
        removeSettingsStore();
    }

    // Every named control as the player first sees it, one line each, against the golden file:
    // where it sits, whether it shows and takes clicks, its caption, a gauge's scale, the picture
    // it shows; then the window's timers, and the controls each server's view works with.
    void controlsStartAs()
    {
        const auto describe = [](const QWidget* widget) {
            const QRect g = widget->geometry();
            QString line = QString("%1 %2,%3 %4x%5")
                               .arg(widget->objectName())
                               .arg(g.x())
                               .arg(g.y())
                               .arg(g.width())
                               .arg(g.height());
            line += widget->isHidden() ? " hidden" : "";
            line += widget->isEnabled() ? "" : " disabled";
            for (const char* property : {"text", "title", "value", "maximum"})
                if (const QVariant value = widget->property(property); value.isValid())
                    line += QString(" %1=\"%2\"").arg(property, value.toString());
            // What a control does, for a newcomer and a screen reader, where its caption does not say.
            if (!widget->toolTip().isEmpty())
                line += QString(" tip=\"%1\"").arg(widget->toolTip());
            if (widget->accessibleName() != widget->toolTip())
                line += QString(" accessible=\"%1\"").arg(widget->accessibleName());
            if (const auto* gauge = qobject_cast<const LevelGauge*>(widget))
                line += QString(" steps=%1 position=%2").arg(gauge->steps()).arg(gauge->position());
            if (const auto* bar = qobject_cast<const HtmlStatusBar*>(widget))
                line += QString(" panel0=\"%1\"").arg(bar->panelText(0));
            if (const auto* label = qobject_cast<const QLabel*>(widget); label && !label->pixmap().isNull())
                line += " picture=" + pictureName(label->pixmap().toImage());
            return line;
        };
        // The window goes where the desktop puts it: its size, and that the player cannot change it.
        QStringList lines{QString("UpdaterWindow %1x%2 fixed=%3")
                              .arg(m_window->width())
                              .arg(m_window->height())
                              .arg(m_window->minimumSize() == m_window->maximumSize())};
        // Menus have tests of their own.
        for (const QWidget* widget : m_window->findChildren<QWidget*>())
            if (!widget->isWindow() && !widget->objectName().isEmpty() &&
                !widget->objectName().startsWith("qt_"))
                lines << describe(widget);
        for (const QTimer* timer : m_window->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly))
            if (!timer->objectName().isEmpty())
                lines << QString("%1 %2ms%3")
                             .arg(timer->objectName())
                             .arg(timer->interval())
                             .arg(timer->isActive() ? " running" : "");
        for (int server : {1, 2}) {
            const ServerView view = m_window->serverView(server);
            QStringList names;
            for (const QObject* control :
                 {static_cast<QObject*>(view.server.statusCaptions[0]),
                  static_cast<QObject*>(view.server.statusCaptions[1]),
                  static_cast<QObject*>(view.server.statusCaptions[2]),
                  static_cast<QObject*>(view.server.statusPictures[0]),
                  static_cast<QObject*>(view.server.statusPictures[1]),
                  static_cast<QObject*>(view.server.statusPictures[2]),
                  static_cast<QObject*>(view.server.infoPanel), static_cast<QObject*>(view.server.pingBox),
                  static_cast<QObject*>(view.server.gauge), static_cast<QObject*>(view.server.pingTime),
                  static_cast<QObject*>(view.server.warning), static_cast<QObject*>(view.server.startButton),
                  static_cast<QObject*>(view.shared.downloadBox),
                  static_cast<QObject*>(view.shared.downloadStatusBox),
                  static_cast<QObject*>(view.shared.logo)})
                names << nameOf(control);
            lines << QString("view of server %1: %2").arg(server).arg(names.join(' '));
        }
        lines.sort();
        const QString golden = QString::fromUtf8(test::goldenBytes("window-start.txt"));
        QCOMPARE(lines, golden.split('\n', Qt::SkipEmptyParts));
    }

    void captionsComeFromTheConfiguration_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("name1");
        QTest::addColumn<QString>("name2");
        QTest::newRow("two servers") << TwoServers << "Tarvo Online"
                                     << "Alpha"
                                     << "Beta";
        QTest::newRow("one server") << OneServer << "Solo"
                                    << "Alpha"
                                    << "";
        // An empty caption must stay empty: the platform fills an empty title with the program's
        // name, so the window carries an invisible character instead.
        QTest::newRow("empty caption")
            << QByteArray("[Main]\r\nTitleWindowName=\"\"\r\n[Config_1]\r\nServerName=A\r\n")
            << QString(QChar(0x200B)) << "A"
            << "";
        QTest::newRow("nothing configured")
            << QByteArray("[Main]\r\n") << "Bad Configured Updater (kick GM's ass!)"
            << "ERROR"
            << "";
    }

    void captionsComeFromTheConfiguration()
    {
        QFETCH(QByteArray, config);
        QFETCH(QString, title);
        QFETCH(QString, name1);
        QFETCH(QString, name2);
        WindowFolder folder(config);
        DialogJournal journal;
        UpdaterWindow window;
        QCOMPARE(window.windowTitle(), title);
        QCOMPARE(window.findChild<QLabel*>("serverName1")->text(), name1);
        QCOMPARE(window.findChild<QLabel*>("serverName2")->text(), name2);
        QCOMPARE(window.findChild<QGroupBox*>("pingBox1")->title(), "Ping " + name1);
        QCOMPARE(window.findChild<QGroupBox*>("pingBox2")->title(), "Ping " + name2);
        QCOMPARE(window.findChild<QPushButton*>("startButton1")->text(), "Go " + name1);
        QCOMPARE(window.findChild<QPushButton*>("startButton2")->text(), "Go " + name2);
    }

    // The logo is found whatever the letter case of its path; without it the window is not built.
    void logo_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("logoPath");
        QTest::addColumn<QString>("error");
        QTest::addRow("as named") << "Tarvo-Updater"
                                  << "GUI/LOGO.BMP"
                                  << "";
        QTest::addRow("lower case") << "tarvo-updater"
                                    << "gui/logo.bmp"
                                    << "";
        QTest::addRow("missing") << "Tarvo-Updater"
                                 << ""
                                 << "Cannot open file Tarvo-Updater\\GUI\\LOGO.BMP";
    }

    void logo()
    {
        QFETCH(QString, folder);
        QFETCH(QString, logoPath);
        QFETCH(QString, error);
        GameFolder game;
        game.write(folder + "/UPDATER4.CFG", OneServer);
        if (!logoPath.isEmpty())
            game.write(folder + "/" + logoPath, test::bmpLogo());
        DialogJournal journal;
        QString thrown;
        try {
            UpdaterWindow window;
            QVERIFY(!window.findChild<QLabel*>("logo")->pixmap().isNull());
            QCOMPARE(window.windowTitle(), QString("Solo"));
        } catch (const std::exception& failure) {
            thrown = failure.what();
        }
        QCOMPARE(thrown, error);
    }

    // The picture callback of a server's view gives a label the house of the index and records it.
    void serverViewSetsHousePictures()
    {
        const ServerView view = m_window->serverView(2);
        QLabel* picture = view.server.statusPictures[1];
        const QImage grey = picture->pixmap().toImage();
        view.setPicture(picture, int(HousePicture::Busy));
        QCOMPARE(picture->property("house").toInt(), int(HousePicture::Busy));
        QVERIFY(picture->pixmap().toImage() != grey);
        view.setPicture(picture, int(HousePicture::NotProbed));
        QCOMPARE(picture->pixmap().toImage(), grey);
    }

    void releaseOpensTheContextMenu_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("opens");
        QTest::addRow("left on a caption") << "accountCaption" << Qt::LeftButton << false;
        QTest::addRow("right on a caption") << "serverName1" << Qt::RightButton << true;
        QTest::addRow("right on the news page") << "newsView" << Qt::RightButton << true;
    }

    void releaseOpensTheContextMenu()
    {
        QFETCH(QString, target);
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, opens);
        QMenu* menu = m_window->findChild<QMenu*>("contextMenu");
        QVERIFY(menu);
        QTest::mouseRelease(control(target), button);
        // The release opens the menu while it is handled, or never.
        QCOMPARE(menu->isVisible(), opens);
        menu->hide();
    }

    void ctrlNIsSwallowedAndNAlonePasses()
    {
        QLineEdit edit(m_window.get());
        QTest::keyClick(&edit, Qt::Key_N);
        QTest::keyClick(&edit, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(edit.text(), QString("n"));
    }

    void closeQuestionSavesOnlyOnYes()
    {
        WindowFolder folder(OneServer);
        QFile::remove(settingsFile());
        DialogJournal journal({DialogAnswer::Ok, DialogAnswer::No, DialogAnswer::Yes});
        UpdaterWindow window; // the first-start notice takes the OK
        journal.clear();

        QVERIFY(!window.close());
        QVERIFY(!QFile::exists(settingsFile()));
        QVERIFY(!isQuitPending());

        window.runState().freedomMouseStatus = true;
        QVERIFY(window.close());
        // A tool window does not end the application by closing: the end is asked for.
        QVERIFY(isQuitPending());
        const auto status =
            RegistryStore().value("\\software\\Tarvo Gv Tools\\Tarvo Updater", "FreedomMouseStatus");
        QVERIFY(status.has_value());
        QCOMPARE(std::get<uint32_t>(*status), 1u);

        const QList<QJsonObject> boxes = journal.entries();
        QCOMPARE(boxes.size(), 2);
        for (const QJsonObject& box : boxes) {
            QCOMPARE(box["title"].toString(), QString("Confirm"));
            QCOMPARE(box["text"].toString(), QString("It's bitter like beer for kids...\n\nThe End?"));
        }
        QCOMPARE(boxes[0]["answer"].toString(), QString("No"));
        QCOMPARE(boxes[1]["answer"].toString(), QString("Yes"));
    }

    // The store's state is told at start; a store that cannot be written is told when the close
    // question's Yes tries to save.
    void settingsStoreAtStartAndEnd_data()
    {
        QTest::addColumn<QString>("store");
        QTest::addColumn<QStringList>("boxes");
        const QString confirm = "Confirm | question | Yes/No | Yes";
        const QString firstStart = "Read this carefully plz | information | OK | OK";
        QTest::newRow("first start") << "absent" << QStringList{firstStart, confirm};
        QTest::newRow("damaged") << "damaged" << QStringList{"Info | information | OK | OK", confirm};
        QTest::newRow("stored") << "stored" << QStringList{confirm};
        QTest::newRow("cannot be written")
            << "folder in its place" << QStringList{firstStart, confirm, "Tarvo Updater | none | OK | OK"};
    }

    void settingsStoreAtStartAndEnd()
    {
        QFETCH(QString, store);
        QFETCH(QStringList, boxes);
        QDir().mkpath(QFileInfo(settingsFile()).path());
        if (store == "damaged")
            test::writeFileOrDie(settingsFile(), SettingsKeyHeader + "\"Version\"=\"4.0\"\r\n");
        else if (store == "stored")
            test::writeFileOrDie(settingsFile(),
                                 SettingsKeyHeader +
                                     "\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=dword:00000000\r\n");
        else if (store == "folder in its place")
            QVERIFY(QDir().mkpath(settingsFile() + "/content"));
        WindowFolder folder(OneServer);
        DialogJournal journal;
        UpdaterWindow window;
        QVERIFY(window.close());
        QCOMPARE(boxesOf(journal), boxes);
    }

    // Three seconds after the update run the configuration is downloaded again; the start buttons
    // wait for that, and a failure asks whether to go on with the old file.
    void configurationRefreshAfterTheUpdate_data()
    {
        QTest::addColumn<bool>("served");
        QTest::addColumn<DialogAnswer>("answer");
        QTest::addColumn<bool>("refreshed");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("quits");
        QTest::newRow("refreshed") << true << DialogAnswer::Yes << true << QStringList{} << false;
        QTest::newRow("not found, go on")
            << false << DialogAnswer::Yes << false << QStringList{"Alert | stop | Yes/No | Yes"} << false;
        QTest::newRow("not found, end")
            << false << DialogAnswer::No << false << QStringList{"Alert | stop | Yes/No | No"} << true;
    }

    void configurationRefreshAfterTheUpdate()
    {
        QFETCH(bool, served);
        QFETCH(DialogAnswer, answer);
        QFETCH(bool, refreshed);
        QFETCH(QStringList, boxes);
        QFETCH(bool, quits);
        test::ScriptedHttpServer server;
        const std::string link = server.url("/updater4.cfg");
        const QByteArray config =
            "[Main]\r\nOverWriteClientInfo=1\r\nConfig_link=" + QByteArray::fromStdString(link) +
            "\r\n[Config_1]\r\nServerName=Alpha\r\n";
        if (served)
            server.serve("/updater4.cfg", test::ScriptedHttpServer::ok(config.toStdString()));
        WindowFolder folder(config);
        DialogJournal journal({DialogAnswer::Ok, answer});
        UpdaterWindow window; // the first-start notice takes the OK
        journal.clear();

        window.showHomepageAfterUpdate();
        QCOMPARE(bool(window.runState().configRefreshed), refreshed);
        QCOMPARE(boxesOf(journal), boxes);
        if (!boxes.isEmpty()) // the address and the server's reply reach the question
            QCOMPARE(journal.texts(),
                     QStringList{QString::fromLatin1(messages::refreshFailed(link, "404 Not Found"))});
        QCOMPARE(isQuitPending(), quits);
    }

    // A whole start: one patch is downloaded and unpacked, and "Check game files" is chosen the
    // moment the run ends. The repair's download is held until the configuration refresh has asked
    // for the file, so the two talk HTTP at the same time, each on its own connection. It ends
    // with the file mended, the configuration refreshed, the server display back, the start
    // button following the map port, and no box but the repair's.
    void checkGameFilesWhileTheConfigurationRefreshes()
    {
        test::RarBuilder rar;
        rar.add("patched.txt", "new content");
        const std::string archive = rar.build({"patched.txt"}).toStdString();
        QTcpServer mapPort;
        QVERIFY(mapPort.listen(QHostAddress::LocalHost));
        test::ScriptedHttpServer server;
        const QByteArray config =
            "[Main]\r\nPatch_List=" + QByteArray::fromStdString(server.url("/updates4.list")) +
            "\r\nOverWriteClientInfo=1\r\nConfig_link=" +
            QByteArray::fromStdString(server.url("/updater4.cfg")) +
            "\r\n[Config_1]\r\nServerName=Alpha\r\nIpResolve=127.0.0.1\r\n" +
            QString("Account=%1\r\nChar=%1\r\nMap=%2\r\n")
                .arg(test::ScriptedHttpServer::unusedPort())
                .arg(mapPort.serverPort())
                .toLatin1();
        std::mutex mutex;
        std::condition_variable refreshAsked;
        bool refreshed = false;
        server.setHandler([&](const std::string& target, const std::string&) {
            if (target == "/updater4.cfg") {
                std::lock_guard lock(mutex);
                refreshed = true;
                refreshAsked.notify_all();
                return test::ScriptedHttpServer::ok(config.toStdString());
            }
            return test::ScriptedHttpServer::status("404 Not Found");
        });
        test::ScriptedHttpServer archives;
        std::atomic<int> archiveRequests = 0;
        archives.setHandler([&](const std::string&, const std::string&) {
            // The repair's request waits (on the archive server's own thread) for the refresh.
            if (++archiveRequests > 1) {
                std::unique_lock lock(mutex);
                refreshAsked.wait_for(lock, std::chrono::seconds(60), [&] { return refreshed; });
            }
            return test::ScriptedHttpServer::ok(archive);
        });
        server.serve("/updates4.list", test::ScriptedHttpServer::ok(
                                           "[Updates]\r\nUpdate_1=" + archives.url("/p1.rar") + "\r\n"));
        WindowFolder folder(config);
        DialogJournal journal;
        UpdaterWindow window;
        journal.clear();
        window.show();

        QAction* check = window.settingsMenu()->item("checkGameFilesItem");
        QTRY_VERIFY_WITH_TIMEOUT(check->isEnabled(), 20000);
        QCOMPARE(folder.read("patched.txt"), QByteArray("new content"));
        folder.write("patched.txt", "damaged");
        check->trigger();
        // No game starts on files being written.
        QVERIFY(!window.findChild<QPushButton*>("startButton1")->isEnabled());
        QVERIFY(window.findChild<QWidget*>("serverInfo1")->isHidden());
        QVERIFY(!check->isEnabled());

        QTRY_COMPARE_WITH_TIMEOUT(journal.texts(),
                                  QStringList{"-= Game files =-\n\n1 of 1 game file were missing or changed: "
                                              "they are mended."},
                                  60000);
        QVERIFY(window.runState().configRefreshed);
        QCOMPARE(archiveRequests.load(), 2);
        QCOMPARE(folder.read("patched.txt"), QByteArray("new content"));
        QVERIFY(window.findChild<QWidget*>("serverInfo1")->isVisible());
        QVERIFY(window.findChild<QWidget*>("downloadBox")->isHidden());
        QTRY_COMPARE_WITH_TIMEOUT(window.findChild<QLabel*>("mapHouse1")->property("house").toInt(),
                                  int(HousePicture::On), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(window.findChild<QPushButton*>("startButton1")->isEnabled(), 3000);
        QCOMPARE(journal.texts().size(), 1);
    }

    // The music starts with the first show; a file that cannot be opened is told in the error box.
    void musicThatCannotBeOpenedIsShownInTheErrorBox()
    {
        test::ScriptedHttpServer server;
        server.serve("/updates4.list", test::ScriptedHttpServer::ok("[Updates]\r\n"));
        WindowFolder folder(
            "[Main]\r\nPatch_List=" + QByteArray::fromStdString(server.url("/updates4.list")) +
            "\r\n[Config_1]\r\nServerName=Alpha\r\n");
        folder.write("BGM/01.mp3", QByteArray("this is no music at all\n").repeated(50));
        DialogJournal journal;
        UpdaterWindow window;
        journal.clear();
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(boxesOf(journal), QStringList{"Tarvo Updater | stop | OK | OK"}, 10000);
        QVERIFY(!journal.texts().first().isEmpty());
    }

    void errorOfTheStartSequenceIsShownAndTheWindowStays()
    {
        // The connection file's name is empty, so only the folder is left as its path.
        WindowFolder folder("[Main]\r\nHowManyClientInfos=1\r\nClientInfoName=\r\n"
                            "[Config_1]\r\nServerName=Alpha\r\nClientName=game\r\n");
        folder.write("Data/keep.txt", "x");
        DialogJournal journal;
        UpdaterWindow window;
        QFile::remove(settingsFile());
        journal.clear();
        auto* start = window.findChild<QPushButton*>("startButton1");
        start->setEnabled(true);
        QTest::mouseClick(start, Qt::LeftButton);
        const QList<QJsonObject> boxes = journal.entries();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]["text"].toString(), QString("Cannot create file Data\\"));
        QCOMPARE(boxes[0]["icon"].toString(), QString("stop"));
        QVERIFY(!isQuitPending());
        // The later steps did not run: no settings were saved.
        QVERIFY(!QFile::exists(settingsFile()));
    }

    // A download that hangs mid-archive ends promptly with the window, and no temporary file or
    // box of the stopped run is left behind (the server gave no validator, so nothing can resume).
    void busyUpdateRunEndsWithTheWindow()
    {
        test::ScriptedHttpServer server;
        server.serve("/updates4.list",
                     test::ScriptedHttpServer::ok("[Updates]\r\nUpdate_1=" + server.url("/p1.rar") + "\r\n"));
        server.serve("/p1.rar",
                     {"HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\nRar! the first bytes of an archive",
                      test::ScriptedHttpServer::Ending::Hang});
        WindowFolder folder(
            "[Main]\r\nPatch_List=" + QByteArray::fromStdString(server.url("/updates4.list")) +
            "\r\n[Config_1]\r\nServerName=Alpha\r\n");
        DialogJournal journal;
        auto window = std::make_unique<UpdaterWindow>();
        window->show();
        QTRY_VERIFY_WITH_TIMEOUT(!temporaryFiles(folder.path()).isEmpty(), 20000);
        // The caption names the archive and its place among the run's archives.
        QTRY_COMPARE(window->findChild<QLabel*>("fileNameLabel")->text(), QString("p1.rar (1 of 1)"));
        journal.clear();

        QVERIFY(window->stopWorkers());
        // The run's end, delivered late, starts no server watch that nobody would stop.
        window->onUpdateEnded();
        for (const QThread* thread : window->findChildren<QThread*>())
            QVERIFY(!thread->isRunning());
        window.reset();
        QCOMPARE(temporaryFiles(folder.path()), QStringList());
        QCOMPARE(journal.texts(), QStringList());
    }
};

int main(int argc, char** argv)
{
    // The launcher's own application object: it shows errors that escape a handler.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    UpdaterApplication app(argc, argv);
    MainWindowTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
