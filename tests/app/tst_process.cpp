// The real program, started as a player would start it, in the unattended dialog mode.
#include "platform/InstanceLock.h"
#include "support/RarFixture.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {} // namespace

class ProcessTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;

    QString journalPath() const { return m_home.filePath("dialogs.jsonl"); }

    QList<QJsonObject> journal() const { return updater::test::readDialogJournal(journalPath()); }

    // Every dialog answered at once and written to the journal, settings kept in the test's home.
    QProcessEnvironment environment(const QString& answers = QString()) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        env.insert("XDG_RUNTIME_DIR", m_home.path());
        env.insert("UPDATER_DIALOG_LOG", journalPath());
        env.insert("UPDATER_DIALOG_ANSWERS", answers);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        return env;
    }

    // Starts the launcher in the current directory with every dialog answered by its default.
    void start(QProcess& process, const QString& answers = QString()) const
    {
        process.setProcessEnvironment(environment(answers));
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(qEnvironmentVariable("UPDATER_BINARY"), {});
        QVERIFY(process.waitForStarted());
    }

private slots:
    void init()
    {
        QFile::remove(journalPath());
        QVERIFY(!qEnvironmentVariable("UPDATER_BINARY").isEmpty());
    }

    void commandLineOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("withDisplay"); // without: no DISPLAY and no QT_QPA_PLATFORM
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // patterns for standard output and standard error
        QTest::addColumn<QString>("errors");
        QTest::addColumn<bool>("started"); // got as far as its first box

        const QString version = R"(^tarvo-updater \d+(\.\d+)+\n$)";
        const QString usage = "^Usage: tarvo-updater ";
        QTest::newRow("version") << QStringList{"--version"} << false << 0 << version << "^$" << false;
        QTest::newRow("help") << QStringList{"--help"} << false << 0 << usage << "^$" << false;
        QTest::newRow("version after a Qt option")
            << QStringList{"-style", "Fusion", "--version"} << false << 0 << version << "^$" << false;
        QTest::newRow("short help") << QStringList{"-h"} << false << 0 << usage << "^$" << false;
        QTest::newRow("short version") << QStringList{"-v"} << false << 0 << version << "^$" << false;
        // Without a display Qt would abort: the launcher says what it can do instead.
        const QString noDisplay =
            "^tarvo-updater: there is no display to show the window on.\nTo bring the game "
            "folder up to date without one: tarvo-updater --update-only";
        QTest::newRow("nothing, without a display")
            << QStringList{} << false << 2 << "^$" << noDisplay << false;
        QTest::newRow("unknown option, without a display")
            << QStringList{"--bogus"} << false << 2 << "^$" << noDisplay << false;
        QTest::newRow("unknown option")
            << QStringList{"--frobnicate"} << true << 2 << "^$"
            << "^tarvo-updater: unknown option --frobnicate\n\nUsage: tarvo-updater " << false;
        QTest::newRow("game folder option without its folder")
            << QStringList{"--update-only", "--game-dir"} << false << 2 << "^$"
            << "^tarvo-updater: --game-dir needs a folder" << false;
        for (const QString speed : {"", "fast", "1.5", "-5", "+5", "4294967296"})
            QTest::addRow("speed limit %s", qPrintable(speed))
                << QStringList{"--update-only", "--max-speed=" + speed} << false << 2 << "^$"
                << "^tarvo-updater: --max-speed needs a whole number of kB/s, 0 for no limit, not " +
                       QRegularExpression::escape(speed)
                << false;
        QTest::newRow("upload limit not a number")
            << QStringList{"--update-only", "--share-patches", "--upload-limit", "fast"} << false << 2 << "^$"
            << "^tarvo-updater: --upload-limit needs a whole number of kB/s, 0 for no limit, not fast"
            << false;
        QTest::newRow("sharing past a day")
            << QStringList{"--update-only", "--seed-for=86401"} << false << 2 << "^$"
            << "^tarvo-updater: --seed-for needs a whole number of seconds, at most a day, not 86401"
            << false;
        QTest::newRow("two tasks at once")
            << QStringList{"--verify", "--repair"} << false << 2 << "^$"
            << "^tarvo-updater: --repair is not understood with --verify" << false;
        QTest::newRow("unknown option with a check")
            << QStringList{"--verify", "--bogus"} << false << 2 << "^$"
            << "^tarvo-updater: --bogus is not understood with --verify" << false;
        QTest::newRow("Qt options with two dashes")
            << QStringList{"--platform", "offscreen", "--style", "Fusion"} << false << 0 << "^$"
            << "" << true;
        QTest::newRow("browser engine's options")
            << QStringList{"--webEngineArgs", "--frobnicate"} << true << 0 << "^$"
            << "" << true;
    }

    void commandLineOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, withDisplay);
        updater::test::GameFolder folder;
        QProcessEnvironment env = environment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        if (!withDisplay)
            env.remove("QT_QPA_PLATFORM");
        QProcess launcher;
        launcher.setProcessEnvironment(env);
        launcher.start(qEnvironmentVariable("UPDATER_BINARY"), arguments);
        QVERIFY2(launcher.waitForFinished(60000), "the launcher did not end by itself");
        QCOMPARE(launcher.exitStatus(), QProcess::NormalExit);
        QTEST(launcher.exitCode(), "exitCode");
        QFETCH(QString, output);
        QFETCH(QString, errors);
        const QString printed = QString::fromUtf8(launcher.readAllStandardOutput());
        const QString complained = QString::fromUtf8(launcher.readAllStandardError());
        QVERIFY2(QRegularExpression(output).match(printed).hasMatch(), qPrintable(printed));
        QVERIFY2(QRegularExpression(errors).match(complained).hasMatch(), qPrintable(complained));
        QTEST(!journal().isEmpty(), "started");
    }

    // The help names every variable of README's unattended mode.
    void helpNamesTheUnattendedVariables()
    {
        QFile readme(qEnvironmentVariable("UPDATER_SOURCE_DIR") + "/README.md");
        QVERIFY(readme.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(readme.readAll());
        const QString section = text.section("## Unattended mode", 1).section("\n## ", 0, 0);
        QStringList variables;
        for (const auto& match :
             QRegularExpression(R"(^\| `(\w+)=)", QRegularExpression::MultilineOption).globalMatch(section))
            variables << match.captured(1);
        QVERIFY(!variables.isEmpty());

        QProcess launcher;
        launcher.start(qEnvironmentVariable("UPDATER_BINARY"), {"--help"});
        QVERIFY(launcher.waitForFinished(10000));
        const QString help = QString::fromUtf8(launcher.readAllStandardOutput());
        for (const QString& variable : variables)
            QVERIFY2(help.contains(variable + "="), qPrintable(variable));
    }

    void missingConfigurationIsReportedAndTheLauncherEnds()
    {
        updater::test::GameFolder folder;
        folder.write("Tarvo-Updater/GUI/LOGO.BMP", updater::test::bmpLogo());
        QProcess launcher;
        start(launcher);
        QVERIFY2(launcher.waitForFinished(60000), "the launcher did not end by itself");
        QCOMPARE(launcher.exitStatus(), QProcess::NormalExit);
        QCOMPARE(launcher.exitCode(), 0);

        const QList<QJsonObject> boxes = journal();
        const auto missing = std::find_if(boxes.begin(), boxes.end(), [](const QJsonObject& box) {
            return box["text"].toString().startsWith("-= CRITICAL ERROR 2 =-");
        });
        QVERIFY(missing != boxes.end());
        QCOMPARE(
            (*missing)["text"].toString(),
            QString(
                "-= CRITICAL ERROR 2 =-\n\nCouldn't find [Tarvo-Updater\\updater4.cfg]\n\n!Main-Config file "
                "is missing! Did u install it right, guess not... Try again baka"));
        QCOMPARE((*missing)["title"].toString(), QString("Alert"));
        QCOMPARE((*missing)["icon"].toString(), QString("stop"));
    }

    void missingLogoShowsTheErrorAndNoWindow()
    {
        updater::test::GameFolder folder;
        folder.write("Tarvo-Updater/updater4.cfg", "[Main]\r\nTitleWindowName=Logo test\r\n");
        QProcess launcher;
        start(launcher);
        QVERIFY(launcher.waitForFinished(30000));
        QCOMPARE(launcher.exitCode(), 0);
        const QList<QJsonObject> boxes = journal();
        QVERIFY(!boxes.isEmpty());
        QCOMPARE(boxes.last()["text"].toString(), QString("Cannot open file Tarvo-Updater\\GUI\\LOGO.BMP"));
        QCOMPARE(boxes.last()["icon"].toString(), QString("stop"));
        // Nothing after the settings: no first-start notice, the construction stopped at the logo.
        QCOMPARE(boxes.size(), 1);
    }

    void secondStartIsRefusedAndTheFirstGoesOn()
    {
        updater::test::GameFolder folder;
        folder.write("Tarvo-Updater/GUI/LOGO.BMP", updater::test::bmpLogo());
        // A server that accepts and never answers keeps the first launcher busy with its update run.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        folder.write("Tarvo-Updater/updater4.cfg",
                     QString("[Main]\r\nPatch_List=http://127.0.0.1:%1/updates4.list\r\n")
                         .arg(silent.serverPort())
                         .toLatin1());
        // A launcher asks for the list once its window, and the first-start notice before it, are up.
        QSignalSpy listAsked(&silent, &QTcpServer::newConnection);
        QProcess first;
        start(first);
        QVERIFY(listAsked.wait(60000));
        QVERIFY(!journal().isEmpty());
        QFile::remove(journalPath());

        QProcess second;
        start(second);
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitCode(), 0);
        const QList<QJsonObject> boxes = journal();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]["text"].toString(),
                 QString("-= Updater is already running! =-\n\nYou're trying to start it twice ..."));
        QCOMPARE(boxes[0]["title"].toString(), QString("Alert"));
        QCOMPARE(first.state(), QProcess::Running);

        // A killed launcher leaves its lock file behind; it never blocks the next start.
        first.kill();
        QVERIFY(first.waitForFinished(10000));
        QFile::remove(journalPath());
        QProcess third;
        start(third);
        QVERIFY(listAsked.wait(60000));
        QVERIFY(!journal().isEmpty());
        QVERIFY(!journal()[0]["text"].toString().contains("already running"));
        third.kill();
        third.waitForFinished(10000);
    }

    void updateOnlyRunsWithoutADisplay_data()
    {
        // The configured list: "served", "served cut" (its archive cut short), "refused" (nothing
        // listens there), or "" for no configuration.
        QTest::addColumn<QString>("list");
        QTest::addColumn<bool>("patchServed");   // else the patch's address answers 404
        QTest::addColumn<bool>("gameDirOption"); // started elsewhere, the game folder named by --game-dir
        QTest::addColumn<QString>("lockHeld");   // held by another launcher: "user" (per user), "folder";
                                                 // "unusable": a folder with files at the folder's lock
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("errors"); // pattern for standard error
        QTest::addColumn<bool>("applied");   // the patch's file landed and the slot is recorded
        QTest::addColumn<QString>(
            "logged"); // the event log has: "run" (a whole run), "refusal", "" (nothing)
        QTest::addColumn<QByteArray>("comment"); // the archive's comment

        const QString none;
        QTest::newRow("all applied") << "served" << true << false << none << 0 << "p1\\.rar" << true << "run"
                                     << QByteArray();
        QTest::newRow("list unavailable")
            << "refused" << true << false << none << 1 << "-= CRITICAL ERROR 3 =-\n\nCan't download" << false
            << "run" << QByteArray();
        QTest::newRow("slot fails") << "served" << false << false << none << 1 << "404 Not Found" << false
                                    << "run" << QByteArray();
        QTest::newRow("second instance")
            << "served" << true << false << "user" << 1
            << "^-= Updater is already running! =-\n\nYou're trying to start it twice ...\n$" << false << none
            << QByteArray();
        // The player's own launcher window on this very folder: said plainly, and logged.
        QTest::newRow("the window open on this folder")
            << "served" << true << false << "user and folder" << 1
            << "^The launcher is open on this game folder: it brings the folder up to date itself\\.\n$"
            << false << "refusal" << QByteArray();
        // Another user's launcher, or a timed job with a runtime folder of its own, on this folder.
        QTest::newRow("game folder in use")
            << "served" << true << false << "folder" << 1 << "^-= The game folder is in use =-\n"
            << false << none << QByteArray();
        // A lock left by a start as another user: named, with the way out, never "in use".
        QTest::newRow("game folder lock unusable")
            << "served" << true << false << "unusable" << 1
            << "^-= The game folder's lock cannot be taken =-\n\n.*/Tarvo-Updater/updater.lock: " << false
            << none << QByteArray();
        QTest::newRow("game folder elsewhere")
            << "served" << true << true << none << 0 << "p1\\.rar" << true << "run" << QByteArray();
        // A comment that would clear the terminal and print a false outcome shows its escapes.
        QTest::newRow("comment with terminal controls")
            << "served" << true << false << none << 0 << "\\\\x1b\\[2J\\\\x1b\\[HAll done" << true << "run"
            << QByteArray("\x1b[2J\x1b[HAll done\r\x07");
        // The notice of an archive that is cut comes after the line that it is being unpacked.
        QTest::newRow("cut archive, in the run's order")
            << "served cut" << true << false << none << 1
            << "Unpacking p1\\.rar\n-= RAR ERROR =-\n\nFile header broken" << false << "run" << QByteArray();
        QTest::newRow("no configuration")
            << "" << true << false << none << 1 << "^-= CRITICAL ERROR 2 =-\n\nCouldn't find" << false << none
            << QByteArray();
    }

    void updateOnlyRunsWithoutADisplay()
    {
        QFETCH(QString, list);
        QFETCH(bool, patchServed);
        QFETCH(bool, gameDirOption);
        QFETCH(QString, lockHeld);
        QFETCH(bool, applied);
        QFETCH(QByteArray, comment);
        updater::test::GameFolder folder;
        updater::test::ScriptedHttpServer server;
        updater::test::RarBuilder archive;
        archive.add("data/one.txt", "1");
        QStringList options;
        if (!comment.isEmpty()) {
            updater::test::writeFileOrDie(m_home.filePath("comment.txt"), comment);
            options << "-z" + m_home.filePath("comment.txt");
        }
        if (patchServed) {
            const QByteArray bytes = archive.build({"data/one.txt"}, options);
            updater::test::writeFileOrDie(m_home.filePath("p1.rar"),
                                          list == "served cut" ? bytes.chopped(10) : bytes);
            server.serveFile("/p1.rar", m_home.filePath("p1.rar").toStdString());
        }
        server.serve("/l", updater::test::ScriptedHttpServer::ok(
                               "[Updates]\r\nUpdate_1=" + server.url("/p1.rar") + "\r\n"));
        const std::string address = list.startsWith("served")
                                        ? server.url("/l")
                                        : "http://127.0.0.1:" + std::to_string(server.unusedPort()) + "/l";
        if (!list.isEmpty())
            folder.write("Tarvo-Updater/updater4.cfg",
                         QByteArray::fromStdString("[Main]\r\nPatch_List=" + address + "\r\n"));
        updater::InstanceLock userLock(m_home.filePath("Updater.lock").toStdString());
        updater::InstanceLock folderLock((folder.path() + "/Tarvo-Updater/updater.lock").toStdString());
        if (lockHeld == "unusable")
            folder.write("Tarvo-Updater/updater.lock/kept", "");
        if (lockHeld.contains("user"))
            QCOMPARE(userLock.acquire(), updater::LockOutcome::Acquired);
        if (lockHeld.contains("folder"))
            QCOMPARE(folderLock.acquire(), updater::LockOutcome::Acquired);

        QProcessEnvironment env = environment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        QProcess updater;
        updater.setProcessEnvironment(env);
        QStringList arguments{"--update-only"};
        if (gameDirOption) {
            updater.setWorkingDirectory(m_home.path());
            arguments << "--game-dir" << folder.path();
        }
        updater.start(qEnvironmentVariable("UPDATER_BINARY"), arguments);
        QVERIFY2(updater.waitForFinished(60000), "the update run did not end by itself");
        const QString complained = QString::fromLocal8Bit(updater.readAllStandardError());
        QCOMPARE(updater.exitStatus(), QProcess::NormalExit);
        QTEST(updater.exitCode(), "exitCode");
        QFETCH(QString, errors);
        QVERIFY2(QRegularExpression(errors).match(complained).hasMatch(), qPrintable(complained));
        QCOMPARE(folder.read("data/one.txt"), QByteArray(applied ? "1" : ""));
        QCOMPARE(folder.read("Tarvo-Updater/applied4.list").contains("Update_1=p1.rar"), applied);
        const QByteArray log = folder.read("Tarvo-Updater/updater.log");
        QFETCH(QString, logged);
        QCOMPARE(log.contains(" (update only)\n") && log.endsWith(" end\n"), !logged.isEmpty());
        // What a community asks first: the system, the game folder, whether lists are checked.
        QCOMPARE(log.contains(" system: ") &&
                     log.contains(" game folder: " + folder.path().toUtf8() + "\n") &&
                     log.contains(" community key: none"),
                 logged == "run");
        QCOMPARE(log.contains(" --update-only refused: the launcher is open on this game folder\n"),
                 logged == "refusal");
        for (const char control : {'\x1b', '\x07', '\r'}) {
            QVERIFY(!complained.contains(QChar(control)));
            QVERIFY(!log.contains(control));
        }
    }

    // Without a window the limit comes from --max-speed, else from the settings the window saved;
    // the log names it once.
    void updateOnlyNamesItsSpeedLimit_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("logged");
        QTest::newRow("stored") << QStringList{} << QByteArray("7 kB/s");
        QTest::newRow("option over the stored one") << QStringList{"--max-speed=0"} << QByteArray("none");
    }
    void updateOnlyNamesItsSpeedLimit()
    {
        QFETCH(QStringList, options);
        updater::test::GameFolder folder;
        updater::test::ScriptedHttpServer server;
        server.serve("/l", updater::test::ScriptedHttpServer::ok("[Updates]\r\n"));
        folder.write("Tarvo-Updater/updater4.cfg",
                     QByteArray::fromStdString("[Main]\r\nPatch_List=" + server.url("/l")));
        QDir().mkpath(m_home.filePath("config/tarvo-updater"));
        updater::test::writeFileOrDie(m_home.filePath("config/tarvo-updater/HKEY_LOCAL_MACHINE.reg"),
                                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvo Gv Tools\\Tarvo "
                                      "Updater]\r\n\"DownloadSpeedLimit\"=dword:00000007\r\n");
        QProcess updater;
        updater.setProcessEnvironment(environment());
        updater.start(qEnvironmentVariable("UPDATER_BINARY"), QStringList{"--update-only"} + options);
        QVERIFY(updater.waitForFinished(60000) && updater.exitCode() == 0);
        const QByteArray log = folder.read("Tarvo-Updater/updater.log");
        QCOMPARE(log.count(" download speed limit: "), 1);
        QTEST(log.mid(log.indexOf(" download speed limit: ") + 23).split('\n').first(), "logged");
    }

    // --verify and --repair report on standard output, one line per finding, names made safe for a
    // terminal, and end with 0 only for a whole record whose files all match; a check writes nothing.
    void checkReportsWhatItFound_data()
    {
        QTest::addColumn<QString>("task");
        QTest::addColumn<QByteArray>("record"); // empty: none
        // Where the recorded file is: "same", "other case", "link"; "other bytes": its size, other bytes.
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("exitCode");
        const QByteArray one = "Update_1\tp1.rar\t1\t83dcefb7\tData/one.txt\n";
        const QString changed = "changed: Data/one.txt (Update_1, p1.rar)\n1 file checked, 1 damaged\n";
        QTest::newRow("intact") << "--verify" << one << "same"
                                << "1 file checked, 0 damaged\n"
                                << 0;
        QTest::newRow("damaged record")
            << "--verify" << one + "Update_1\tp1.rar\t9k\t83dcefb7\tData/two.txt\n"
            << "same"
            << "not read: line 2 of the record of installed files (the size is not a number)\n"
               "1 file checked, 0 damaged; the record of installed files is damaged\n"
            << 1;
        QTest::newRow("no record") << "--verify" << QByteArray() << "same"
                                   << "no record of installed files: nothing checked\n"
                                   << 1;
        QTest::newRow("other letter case") << "--verify" << one << "other case" << changed << 1;
        QTest::newRow("other bytes of the same size") << "--verify" << one << "other bytes" << changed << 1;
        QTest::newRow("an update cut short")
            << "--verify" << one << "journal"
            << "an update was cut short while it put its files in place: the next start finishes it\n"
               "1 file checked, 0 damaged\n"
            << 1;
        QTest::newRow("linked folder") << "--verify" << one << "link" << changed << 1;
        // Names that would redraw the terminal or forge a report line show their escapes.
        QTest::newRow("terminal controls in names")
            << "--verify"
            << one + "Update_1\x1b[2J\tp1.rar\a\t1\t83dcefb7\tok\x1b[H\\r0 files\\n0 damaged\x9b\n"
            << "same"
            << "missing: ok\\x1b[H\\x0d0 files\\x0a0 damaged\uFFFD (Update_1\\x1b[2J, p1.rar\\x07)\n"
               "2 files checked, 1 damaged\n"
            << 1;
        // The controls of the 8-bit range too: U+009B starts a terminal sequence as ESC [ does.
        QTest::newRow("C1 controls in names")
            << "--verify"
            << one + "Update_1\tp1.rar\t1\t83dcefb7\tgone\xc2\x9b"
                     "2J\xc2\x85x\n"
            << "same"
            << "missing: gone\\x9b2J\\x85x (Update_1, p1.rar)\n2 files checked, 1 damaged\n"
            << 1;
        QTest::newRow("repair from an unsigned list")
            << "--repair" << one << "other case"
            << changed + "not mended: the saved patch list is not signed\nafter the repair:\n" + changed << 1;
    }

    void checkReportsWhatItFound()
    {
        QFETCH(QString, task);
        QFETCH(QByteArray, record);
        QFETCH(QString, found);
        updater::test::GameFolder folder;
        folder.write("Tarvo-Updater/updater4.cfg", "[Main]\r\n");
        folder.write("Tarvo-Updater/updates4.list", "[Updates]\r\nUpdate_1=http://127.0.0.1:9/p1.rar\r\n");
        folder.write("Tarvo-Updater/patchlist.pub", "a key that proves nothing");
        if (!record.isEmpty())
            folder.write("Tarvo-Updater/installed-files.list", record);
        // A linked folder holds the very file recorded, outside the game folder.
        QVERIFY(QDir(m_home.path()).mkpath("outside"));
        updater::test::writeFileOrDie(m_home.filePath("outside/one.txt"), "1");
        if (found == "link")
            QVERIFY(QFile::link(m_home.filePath("outside"), folder.path() + "/Data"));
        else
            folder.write(found == "other case" ? "data/ONE.txt" : "Data/one.txt",
                         found == "other bytes" ? "2" : "1");
        if (found == "journal")
            folder.write("Tarvo-Updater/slot-journal", "left by a killed update");
        // The log and the lock are not the check's findings.
        const auto contents = [&folder] {
            return folder.contents().filter(QRegularExpression("^(?!Tarvo-Updater/updater\\.(log|lock))"));
        };
        const QStringList before = contents();

        QProcess check;
        check.setProcessEnvironment(environment());
        check.start(qEnvironmentVariable("UPDATER_BINARY"), {task});
        QVERIFY2(check.waitForFinished(60000), "the check did not end by itself");
        QTEST(QString::fromUtf8(check.readAllStandardOutput()), "output");
        QTEST(check.exitCode(), "exitCode");
        QCOMPARE(contents(), before);
    }

    void offlineMachineShowsPanicAndEnds()
    {
        updater::test::GameFolder folder;
        folder.write("Tarvo-Updater/GUI/LOGO.BMP", updater::test::bmpLogo());
        folder.write("Tarvo-Updater/updater4.cfg",
                     "[Main]\r\nPatch_List=http://127.0.0.1:9/updates4.list\r\n");
        qputenv("UPDATER_PRETEND_OFFLINE", "1");
        QProcess launcher;
        start(launcher);
        qunsetenv("UPDATER_PRETEND_OFFLINE");
        QVERIFY(launcher.waitForFinished(60000));
        QCOMPARE(launcher.exitCode(), 0);
        const QList<QJsonObject> boxes = journal();
        const auto panic = std::find_if(boxes.begin(), boxes.end(), [](const QJsonObject& box) {
            return box["title"].toString() == "Panic";
        });
        QVERIFY(panic != boxes.end());
        QCOMPARE((*panic)["text"].toString(), QString("OFFLINE"));
        QCOMPARE((*panic)["icon"].toString(), QString("none"));
    }

    // Debian's default ping range refuses every group the echo, so a player without root measures
    // by connecting to the map port. Seen from that port: the status probe, then one connection per
    // measurement, 3 s apart, where a watch that ended at the refused echo leaves the probe alone.
    void unprivilegedPlayerMeasuresByConnectingToTheMapPort()
    {
        if (::geteuid() != 0)
            QSKIP("Starting the launcher as nobody needs root.");
        QFile range("/proc/sys/net/ipv4/ping_group_range");
        QVERIFY(range.open(QIODevice::ReadOnly));
        const QList<QByteArray> bounds = range.readAll().simplified().split(' ');
        if (bounds.size() == 2 && bounds[0].toLongLong() <= 65534 && bounds[1].toLongLong() >= 65534)
            QSKIP("This machine's ping range lets nobody echo.");

        QTcpServer map;
        QVERIFY(map.listen(QHostAddress::LocalHost));
        int connections = 0;
        connect(&map, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket* socket = map.nextPendingConnection()) {
                ++connections;
                socket->deleteLater();
            }
        });
        // Folders nobody may write: the game folder, and settings, lock and journal beside it.
        QTemporaryDir root("/tmp/tarvo-nobody-XXXXXX");
        const QString game = root.filePath("game");
        const QString home = root.filePath("home");
        QVERIFY(QDir().mkpath(game + "/Tarvo-Updater/GUI") && QDir().mkpath(home));
        updater::test::writeFileOrDie(game + "/Tarvo-Updater/GUI/LOGO.BMP", updater::test::bmpLogo());
        updater::test::writeFileOrDie(
            game + "/Tarvo-Updater/updater4.cfg",
            QString("[Main]\r\nPatch_List=http://127.0.0.1:9/updates4.list\r\nShowServerPing=1\r\n"
                    "HowManyServers=1\r\n\r\n[Config_1]\r\nIpResolve=127.0.0.1\r\nAccount=9\r\nChar=9\r\n"
                    "Map=%1\r\n")
                .arg(map.serverPort())
                .toLatin1());
        // The build may lie in a folder only its owner may enter: nobody runs a copy.
        const QString binary = qEnvironmentVariable("UPDATER_BINARY");
        const QString program = root.filePath("bin/tarvo-updater");
        QVERIFY(QDir().mkpath(root.filePath("bin")) && QFile::copy(binary, program) &&
                QFile::copy(QFileInfo(binary).dir().filePath("tarvo-updater-window.so"),
                            root.filePath("bin/tarvo-updater-window.so")));
        QCOMPARE(QProcess::execute("chown", {"-R", "65534:65534", root.path()}), 0);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("XDG_RUNTIME_DIR", home);
        env.insert("UPDATER_DIALOG_LOG", home + "/dialogs.jsonl");
        env.insert("UPDATER_DIALOG_ANSWERS", QString());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
        QProcess launcher;
        launcher.setProcessEnvironment(env);
        launcher.setWorkingDirectory(game);
        launcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        launcher.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", program});
        QSignalSpy connected(&map, &QTcpServer::newConnection);
        QVERIFY(launcher.waitForStarted());

        while (connections < 3 && connected.wait(60000)) {
        }
        const bool measured = connections >= 3;
        launcher.terminate();
        if (!launcher.waitForFinished(10000))
            launcher.kill();
        QVERIFY2(measured, qPrintable(QString("the map port saw %1 connection(s)").arg(connections)));
    }
};

QTEST_GUILESS_MAIN(ProcessTest)
#include "tst_process.moc"
