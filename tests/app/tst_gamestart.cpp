// The start sequence behind the "Go" buttons and the start of the game's programs, with real
// programs started in the game folder. Which files the steps find or write is tested with the
// launch parts; here: the order of the steps, the boxes and the end of the application.

#include "GamePrograms.h"
#include "app/GameStart.h"
#include "app/QuitRequest.h"
#include "app/TestHooks.h"
#include "config/ConfigReader.h"
#include "platform/ProfileFile.h"
#include "platform/UpdaterError.h"
#include "support/DialogJournal.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTest>

using namespace updater;
using updater::test::GameFolder;
using updater::test::ProgramRecordsWithinMs;

namespace {

const QString NoDataFolder =
    "Can't find Data folder!\n\nThis Tool is installed wrong locaton. It must be Grimvale Folder! End...";
const QString ClientMissing = "-= Can't find GV Client =-\n\nThe name of client must be: ";
const QString HandOver = "-= New Updater Version found =-\n\nWe start new verion now...";
const QString ToolMissing =
    "-= Error while updating =-\n\nThere is new version of updater, but I can't use it. There missing tool!\n"
    "Check u did't delete files exidently else ask GM!\nFile with suffix .lol is missing";
const QString AddOnMissing = "-= ERROR =- Couldn't find 'GV_MOUSEFREEDOM' =-\n\n!Files are missing :O";
const QString NoWine = "This is a Windows program and Wine was not found.\n"
                       "Install Wine (or set WINE to the Wine program to use) and try again.";

QString cannotStart(const QString& name, const QString& reason)
{
    return "-= Can't start " + name + " =-\n\n" + reason;
}

// The add-on's sources in the launcher's folder; all three unless named.
QStringList addOnSources(const QStringList& names = {"dinput.dll", "GV_MF.bin", "GV_MF.ini"})
{
    QStringList entries;
    for (const QString& name : names)
        entries << "f:Tarvo-Updater/ADDON's/GV_MOUSEFREEDOM/" + name;
    return entries;
}

// Lays out the game folder: "d:" a folder, "f:" a plain file, "x:" a recording program, "w:" a
// Windows program, "b:" a program whose interpreter is missing, "wine:" the stand-in for Wine
// (and WINE names it).
void lay(const GameFolder& game, const QStringList& entries)
{
    for (const QString& entry : entries) {
        const QString kind = entry.section(':', 0, 0);
        const QString name = entry.section(':', 1);
        if (kind == "d") {
            QDir(game.path()).mkpath(name);
        } else if (kind == "f") {
            game.write(name, "x");
        } else if (kind == "x") {
            test::writeProgram(game, name);
        } else if (kind == "w") {
            game.write(name, QByteArray("MZ\x90\0 windows program", 20));
        } else if (kind == "b") {
            test::writeProgram(game, name, "#!/nonexistent/interpreter\n");
        } else if (kind == "wine") {
            test::writeProgram(game, name, test::fakeWineScript());
            qputenv("WINE", QFile::encodeName(game.path() + "/" + name));
        } else {
            qFatal("unknown entry %s", qPrintable(entry));
        }
    }
}

// A game folder with a two-server configuration: client1.sh and client2.sh, connection files
// one.xml and two.xml when there is one per entry.
struct Game
{
    GameFolder folder;
    Configuration config;
    RunState state;
    int settingsSaved = 0;

    explicit Game(int clientInfos = 1)
    {
        folder.write("Tarvo-Updater/updater4.cfg",
                     "[Main]\r\nHowManyServers=2\r\nHowManyClientInfos=" + QByteArray::number(clientInfos) +
                         "\r\n[Config_1]\r\nClientName=client1.sh\r\n"
                         "ClientInfoName=one.xml\r\n"
                         "[Config_2]\r\nClientName=client2.sh\r\n"
                         "ClientInfoName=two.xml\r\n");
        config = readConfigurationFrom(ProfileFile("Tarvo-Updater/updater4.cfg"));
    }

    GameStart sequence()
    {
        return GameStart(config, state, [this] { ++settingsSaved; });
    }

    // What a recording file holds once its program has run, "<game>" standing for the game
    // folder; empty while there is none.
    QString recorded(const QString& file) const
    {
        return QString::fromLocal8Bit(folder.read(file))
            .trimmed()
            .replace(QDir(folder.path()).canonicalPath(), "<game>");
    }
};

} // namespace

class TestGameStart : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::DialogJournal> m_journal;

    // Every box of the launch is an "Alert" with the stop icon; these are their texts in order.
    void checkBoxes(const QStringList& texts)
    {
        QCOMPARE(m_journal->texts(), texts);
        for (const QJsonObject& box : m_journal->entries()) {
            QCOMPARE(box["title"].toString(), QString("Alert"));
            QCOMPARE(box["icon"].toString(), QString("stop"));
        }
    }

private slots:
    void initTestCase() { m_journal = std::make_unique<test::DialogJournal>(); }

    void init()
    {
        m_journal->clear();
        resetQuitRequest();
        qputenv("WINE", "/nonexistent/wine");
    }

    void stepsRunInOrder()
    {
        Game game(2);
        lay(game.folder,
            QStringList{"d:Data", "x:client2.sh", "f:updater4.new", "x:duzuvadir.lol"} + addOnSources());
        game.state.freedomMouseStatus = true;
        QStringList seenAtSettings;
        const GameStart sequence(game.config, game.state, [&] {
            seenAtSettings << (game.folder.exists("Data/one.xml") && game.folder.exists("Data/two.xml")
                                   ? "both connection files"
                                   : "connection files missing")
                           << m_journal->texts()
                           << (game.folder.exists("dinput.dll") ? "add-on" : "no add-on")
                           << (isQuitPending() ? "quit pending" : "no quit");
        });

        sequence.start(2);

        QCOMPARE(seenAtSettings,
                 (QStringList{"both connection files", HandOver, "no add-on", "quit pending"}));
        checkBoxes({HandOver});
        QVERIFY(game.folder.exists("dinput.dll"));
        QTRY_COMPARE_WITH_TIMEOUT(game.recorded("duzuvadir.lol.started"), QString("<game>"),
                                  ProgramRecordsWithinMs);
        QTRY_COMPARE_WITH_TIMEOUT(game.recorded("client2.sh.started"), QString("<game>"),
                                  ProgramRecordsWithinMs);
        QVERIFY(isQuitPending());
    }

    // Every click saves the settings: a quit asked for by an earlier step does not stop the later
    // ones.
    void sequence_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("addOnChosen");
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("started"); // the program that must have run, if any
        QTest::addColumn<bool>("addOnInstalled");
        QTest::addColumn<bool>("quit");

        QTest::newRow("the client starts") << QStringList{"d:Data", "x:client1.sh"} + addOnSources() << true
                                           << 1 << 1 << QStringList() << "client1.sh" << true << true;
        QTest::newRow("the pressed entry names its client")
            << QStringList{"d:Data", "x:client1.sh"} << false << 2 << 1
            << QStringList{ClientMissing + "client2.sh"} << "" << false << false;
        QTest::newRow("a client that is a folder is missing")
            << QStringList{"d:Data", "d:client1.sh"} << false << 1 << 1
            << QStringList{ClientMissing + "client1.sh"} << "" << false << false;
        QTest::newRow("a client that cannot start keeps the launcher open")
            << QStringList{"d:Data", "w:client1.sh"} << false << 1 << 1
            << QStringList{cannotStart("client1.sh", NoWine)} << "" << false << false;
        QTest::newRow("no Data folder: the later steps still run")
            << QStringList{"x:client1.sh"} + addOnSources() << true << 1 << 1 << QStringList{NoDataFolder}
            << "client1.sh" << true << true;
        QTest::newRow("no Data folder and no client")
            << QStringList() << false << 1 << 1 << QStringList{NoDataFolder, ClientMissing + "client1.sh"}
            << "" << false << true;
        QTest::newRow("an add-on source missing")
            << QStringList{"d:Data", "x:client1.sh"} + addOnSources({"dinput.dll", "GV_MF.bin"}) << true << 1
            << 1 << QStringList{AddOnMissing} << "client1.sh" << false << true;
        QTest::newRow("new launcher without tool: told at every click, the game starts")
            << QStringList{"d:Data", "f:updater4.new", "x:client1.sh"} << false << 1 << 2
            << QStringList{ToolMissing, ToolMissing} << "client1.sh" << false << true;
        QTest::newRow("hand-over to the new launcher")
            << QStringList{"d:Data", "f:UPDATER4.NEW", "x:duzuvadir.lol"} << false << 1 << 1
            << QStringList{HandOver, ClientMissing + "client1.sh"} << "duzuvadir.lol" << false << true;
        QTest::newRow("a tool that cannot start keeps the launcher open")
            << QStringList{"d:Data", "f:updater4.new", "w:duzuvadir.lol"} << false << 1 << 1
            << QStringList{HandOver, cannotStart("duzuvadir.lol", NoWine), ClientMissing + "client1.sh"} << ""
            << false << false;
    }

    void sequence()
    {
        QFETCH(QStringList, entries);
        QFETCH(bool, addOnChosen);
        QFETCH(int, entry);
        QFETCH(int, clicks);
        QFETCH(QStringList, boxes);
        QFETCH(QString, started);
        QFETCH(bool, addOnInstalled);
        QFETCH(bool, quit);
        Game game;
        lay(game.folder, entries);
        game.state.freedomMouseStatus = addOnChosen;

        for (int click = 0; click < clicks; ++click) {
            resetQuitRequest();
            game.sequence().start(entry);
        }

        checkBoxes(boxes);
        QCOMPARE(game.settingsSaved, clicks);
        QCOMPARE(game.folder.exists("dinput.dll"), addOnInstalled);
        QCOMPARE(isQuitPending(), quit);
        if (!started.isEmpty())
            QTRY_COMPARE_WITH_TIMEOUT(game.recorded(started + ".started"), QString("<game>"),
                                      ProgramRecordsWithinMs);
    }

    void connectionFileErrorEndsTheSequence()
    {
        Game game(2);
        game.config.server[1].clientInfoName.clear();
        lay(game.folder, QStringList{"d:Data", "x:client1.sh"} + addOnSources());
        game.state.freedomMouseStatus = true;

        QString raised;
        try {
            game.sequence().start(1);
        } catch (const UpdaterError& error) {
            raised = error.what();
        }

        QCOMPARE(raised, QString("Cannot create file Data\\"));
        QVERIFY(game.folder.exists("Data/one.xml"));
        QCOMPARE(game.settingsSaved, 0);
        QVERIFY(!game.folder.exists("dinput.dll"));
        QVERIFY(!game.folder.exists("client1.sh.started"));
        checkBoxes({});
        QVERIFY(!isQuitPending());
    }

    // `recordFile` is what a started program leaves; a program that cannot start is told in a box.
    void startProgramOrTell_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("recordFile");
        QTest::addColumn<QString>("recorded");
        QTest::addColumn<QStringList>("boxes");

        QTest::newRow("in a sub-folder with blanks, started in the game folder")
            << QStringList{"x:bin/game client.sh"} << "Bin\\game client.sh"
            << "bin/game client.sh.started"
            << "<game>" << QStringList();
        QTest::newRow("a plain name is not looked up in PATH") << QStringList{"x:sh"} << "sh"
                                                               << "sh.started"
                                                               << "<game>" << QStringList();
        QTest::newRow("a Windows program through Wine")
            << QStringList{"w:client.exe", "wine:fake wine.sh"} << "Client.exe"
            << "wine-started.txt"
            << "client.exe\n<game>" << QStringList();
        QTest::newRow("a Windows program without Wine") << QStringList{"w:tool.exe"} << "tool.exe"
                                                        << ""
                                                        << "" << QStringList{cannotStart("tool.exe", NoWine)};
        QTest::newRow("no execute permission")
            << QStringList{"f:tool.sh"} << "tool.sh"
            << ""
            << ""
            << QStringList{cannotStart(
                   "tool.sh", "The file may not be executed. Give it execute permission and try again.")};
        QTest::newRow("a folder") << QStringList{"d:tool.sh"} << "tool.sh"
                                  << ""
                                  << ""
                                  << QStringList{cannotStart("tool.sh", "This is a folder, not a program.")};
        QTest::newRow("missing") << QStringList() << "tool.sh"
                                 << ""
                                 << ""
                                 << QStringList{
                                        cannotStart("tool.sh", "The file is not in the game folder.")};
        QTest::newRow("interpreter missing")
            << QStringList{"b:tool.sh"} << "tool.sh"
            << ""
            << "" << QStringList{cannotStart("tool.sh", "The system could not start it.")};
    }

    void startProgramOrTell()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, command);
        QFETCH(QString, recordFile);
        QFETCH(QString, recorded);
        QFETCH(QStringList, boxes);
        Game game;
        lay(game.folder, entries);

        QCOMPARE(updater::startProgramOrTell(command.toStdString()), boxes.isEmpty());

        checkBoxes(boxes);
        if (!recordFile.isEmpty())
            QTRY_COMPARE_WITH_TIMEOUT(game.recorded(recordFile), recorded, ProgramRecordsWithinMs);
        QVERIFY(!isQuitPending());
    }
};

QTEST_MAIN(TestGameStart)
#include "tst_gamestart.moc"
