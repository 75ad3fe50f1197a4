// The start sequence behind the "Go" buttons, with real programs started in the game folder:
// the order of its steps, the launcher hand-over, the mouse add-on and the start of programs.

#include "LaunchTestSupport.h"
#include "config/ConfigReader.h"
#include "launch/GameStartSequence.h"
#include "launch/MouseFreedomAddOn.h"
#include "launch/UpdaterReplacement.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramStarter.h"
#include "platform/QuitRequest.h"
#include "platform/UpdaterError.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTest>

using namespace updater;
using updater::test::GameFolder;

namespace {

const QString AddOnFolder = "Tarvo-Updater/ADDON's/GV_MOUSEFREEDOM/";
const QStringList AddOnFiles{"dinput.dll", "GV_MF.bin", "GV_MF.ini"};
const QString ClientMissing = "-= Can't find GV Client =-\n\nThe name of client must be: ";
const QString HandOver = "-= New Updater Version found =-\n\nWe start new verion now...";
const QString ToolMissing =
    "-= Error while updating =-\n\nThere is new version of updater, but I can't use it. There missing tool!\n"
    "Check u did't delete files exidently else ask GM!\nFile with suffix .lol is missing";
const QString AddOnMissing = "-= ERROR =- Couldn't find 'GV_MOUSEFREEDOM' =-\n\n!Files are missing :O";

// A game folder with a Data folder, a two-server configuration and a client per entry.
struct Game
{
    GameFolder folder;
    Configuration config;
    RunState state;
    QStringList steps; // what the settings callback saw, in order

    explicit Game(const QByteArray& extraMain = "HowManyClientInfos=1\n")
    {
        QDir(folder.path()).mkdir("Data");
        folder.write("Tarvo-Updater/updater4.cfg", "[Main]\r\nHowManyServers=2\r\n" + extraMain +
                                                       "[Config_1]\r\nClientName=client1.sh\r\n"
                                                       "ClientInfoName=one.xml\r\n"
                                                       "[Config_2]\r\nClientName=client2.sh\r\n"
                                                       "ClientInfoName=two.xml\r\n");
        config = readConfigurationFrom(ProfileFile("Tarvo-Updater/updater4.cfg"));
    }

    void addProgram(const QString& name, const QByteArray& bytes = test::recordingScript(),
                    bool executable = true)
    {
        folder.write(name, bytes);
        if (executable)
            test::makeExecutable(folder.path() + "/" + name);
    }

    void addAddOnSources(const QStringList& names = AddOnFiles)
    {
        for (const QString& name : names)
            folder.write(AddOnFolder + name, "new " + name.toLatin1());
    }

    // The working folder a recording program wrote, once it has run.
    QString startedIn(const QString& program) const
    {
        return QString::fromLocal8Bit(folder.read(program + ".started")).trimmed();
    }

    QString physicalPath() const { return QDir(folder.path()).canonicalPath(); }

    GameStartSequence sequence()
    {
        return GameStartSequence(config, state, [this] { steps << "settings"; });
    }
};

} // namespace

class TestGameStart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_journal = std::make_unique<test::DialogJournal>(); }

    void init()
    {
        m_journal->clear();
        resetQuitRequest();
        qunsetenv("WINE");
    }

    void stepsRunInOrderAndTheClientStartsInTheGameFolder()
    {
        Game game;
        game.addProgram("client1.sh");
        game.addProgram("duzuvadir.lol");
        game.folder.write("updater4.new", "new launcher");
        game.addAddOnSources();
        game.state.freedomMouseStatus = true;
        QStringList seenAtSettings;
        GameStartSequence sequence(game.config, game.state, [&] {
            seenAtSettings << (game.folder.exists("Data/sclientinfo.xml") ? "client info written"
                                                                          : "no client info")
                           << m_journal->texts()
                           << (game.folder.exists("dinput.dll") ? "add-on" : "no add-on")
                           << (isQuitPending() ? "quit pending" : "no quit");
        });

        sequence.start(1);

        QCOMPARE(seenAtSettings, (QStringList{"client info written", HandOver, "no add-on", "quit pending"}));
        QCOMPARE(m_journal->texts(), QStringList{HandOver});
        for (const QString& name : AddOnFiles)
            QCOMPARE(game.folder.read(name), "new " + name.toLatin1());
        QTRY_COMPARE(game.startedIn("duzuvadir.lol"), game.physicalPath());
        QTRY_COMPARE(game.startedIn("client1.sh"), game.physicalPath());
        QVERIFY(isQuitPending());
    }

    void missingClientNamesThePressedEntry()
    {
        Game game;
        game.addProgram("client1.sh");

        game.sequence().start(2);

        const auto boxes = m_journal->entries();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]["text"].toString(), ClientMissing + "client2.sh");
        QCOMPARE(boxes[0]["title"].toString(), QString("Alert"));
        QCOMPARE(boxes[0]["icon"].toString(), QString("stop"));
        QVERIFY(!isQuitPending());
        QVERIFY(game.folder.exists("Data/sclientinfo.xml"));
    }

    void clientThatIsAFolderCountsAsMissing()
    {
        Game game;
        QDir(game.folder.path()).mkdir("client1.sh");
        game.sequence().start(1);
        QCOMPARE(m_journal->texts(), QStringList{ClientMissing + "client1.sh"});
        QVERIFY(!isQuitPending());
    }

    void missingDataFolderStillRunsTheLaterSteps()
    {
        Game game;
        QDir(game.folder.path()).rmdir("Data");
        game.addProgram("client1.sh");
        game.addAddOnSources();
        game.state.freedomMouseStatus = true;

        game.sequence().start(1);

        QCOMPARE(m_journal->texts(),
                 QStringList{"Can't find Data folder!\n\nThis Tool is installed wrong locaton. "
                             "It must be Grimvale Folder! End..."});
        QCOMPARE(game.steps, QStringList{"settings"});
        QVERIFY(game.folder.exists("dinput.dll"));
        QTRY_COMPARE(game.startedIn("client1.sh"), game.physicalPath());
        QVERIFY(isQuitPending());
    }

    void clientInformationErrorEndsTheSequence()
    {
        Game game("HowManyClientInfos=2\n");
        game.config.server[1].clientInfoName.clear();
        game.addProgram("client1.sh");
        game.addAddOnSources();
        game.state.freedomMouseStatus = true;

        QString raised;
        try {
            game.sequence().start(1);
        } catch (const UpdaterError& error) {
            raised = error.what();
        }

        QCOMPARE(raised, QString("Cannot create file Data\\"));
        QVERIFY(game.folder.exists("Data/one.xml"));
        QVERIFY(game.steps.isEmpty());
        QVERIFY(!game.folder.exists("dinput.dll"));
        QVERIFY(m_journal->entries().isEmpty());
        QVERIFY(!isQuitPending());
    }

    void eitherButtonWritesBothFiles()
    {
        Game game("HowManyClientInfos=2\n");
        game.addProgram("client2.sh");
        game.sequence().start(2);
        QVERIFY(game.folder.exists("Data/one.xml"));
        QVERIFY(game.folder.exists("Data/two.xml"));
        QTRY_COMPARE(game.startedIn("client2.sh"), game.physicalPath());
    }

    void clientInASubFolderWithBlanksStartsInTheGameFolder()
    {
        Game game;
        game.config.server[0].clientName = "Bin\\game client.sh";
        game.addProgram("bin/game client.sh");

        game.sequence().start(1);

        QTRY_COMPARE(game.startedIn("bin/game client.sh"), game.physicalPath());
        QVERIFY(isQuitPending());
        QVERIFY(m_journal->entries().isEmpty());
    }

    void windowsClientStartsThroughWine()
    {
        Game game;
        game.config.server[0].clientName = "Client.exe";
        game.addProgram("client.exe", "MZ\x90\0 windows program", false);
        game.addProgram("fake wine.sh", test::fakeWineScript());
        qputenv("WINE", QFile::encodeName(game.folder.path() + "/fake wine.sh"));

        game.sequence().start(1);

        QTRY_VERIFY(game.folder.exists("wine-started.txt"));
        QTRY_COMPARE(game.folder.read("wine-started.txt"),
                     "client.exe\n" + game.physicalPath().toLocal8Bit() + "\n");
        QVERIFY(isQuitPending());
    }

    void windowsClientWithoutWineKeepsTheLauncherOpen()
    {
        Game game;
        game.config.server[0].clientName = "client.exe";
        game.addProgram("client.exe", "MZ windows program");
        qputenv("WINE", "/nonexistent/wine");

        game.sequence().start(1);

        const auto boxes = m_journal->entries();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]["title"].toString(), QString("Alert"));
        QCOMPARE(boxes[0]["icon"].toString(), QString("stop"));
        QCOMPARE(boxes[0]["text"].toString(),
                 QString("-= Can't start client.exe =-\n\nThis is a Windows program and "
                         "Wine was not found.\nInstall Wine (or set WINE to the Wine "
                         "program to use) and try again."));
        QCOMPARE(game.steps, QStringList{"settings"});
        QVERIFY(!isQuitPending());
    }

    void programsThatCannotBeStartedAreReported_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::newRow("no execute permission")
            << "The file may not be executed. Give it execute permission and try again.";
        QTest::newRow("a folder") << "This is a folder, not a program.";
        QTest::newRow("missing") << "The file is not in the game folder.";
        QTest::newRow("broken interpreter") << "The system could not start it.";
    }

    void programsThatCannotBeStartedAreReported()
    {
        QFETCH(QString, reason);
        GameFolder game;
        if (reason.contains("permission"))
            game.write("tool.sh", test::recordingScript());
        else if (reason.contains("folder,"))
            QDir(game.path()).mkdir("tool.sh");
        else if (reason.contains("system")) {
            game.write("tool.sh", "#!/nonexistent/interpreter\n");
            test::makeExecutable(game.path() + "/tool.sh");
        }

        QVERIFY(!startProgram("tool.sh"));
        QCOMPARE(m_journal->texts(), QStringList{"-= Can't start tool.sh =-\n\n" + reason});
    }

    void plainNameIsNotLookedUpInPath()
    {
        GameFolder game;
        game.write("sh", test::recordingScript());
        test::makeExecutable(game.path() + "/sh");
        QVERIFY(startProgram("sh"));
        QTRY_VERIFY(game.exists("sh.started"));
    }

    void handOver_data()
    {
        QTest::addColumn<bool>("newLauncher");
        QTest::addColumn<bool>("tool");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("quit");
        QTest::newRow("neither") << false << false << QStringList() << false;
        QTest::newRow("tool only") << false << true << QStringList() << false;
        QTest::newRow("tool missing") << true << false << QStringList{ToolMissing} << false;
        QTest::newRow("both") << true << true << QStringList{HandOver} << true;
    }

    void handOver()
    {
        QFETCH(bool, newLauncher);
        QFETCH(bool, tool);
        QFETCH(QStringList, boxes);
        QFETCH(bool, quit);
        Game game;
        if (newLauncher)
            game.folder.write("UPDATER4.NEW", "x");
        if (tool)
            game.addProgram("duzuvadir.lol");

        checkUpdaterReplacement();

        QCOMPARE(m_journal->texts(), boxes);
        for (const QJsonObject& box : m_journal->entries()) {
            QCOMPARE(box["title"].toString(), QString("Alert"));
            QCOMPARE(box["icon"].toString(), QString("stop"));
        }
        QCOMPARE(isQuitPending(), quit);
        if (quit)
            QTRY_COMPARE(game.startedIn("duzuvadir.lol"), game.physicalPath());
    }

    void handOverWithoutToolRepeatsAndTheGameStillStarts()
    {
        Game game;
        game.folder.write("updater4.new", "x");
        game.addProgram("client1.sh");

        game.sequence().start(1);
        QTRY_VERIFY(game.folder.exists("client1.sh.started"));
        QFile::remove(game.folder.path() + "/client1.sh.started");
        resetQuitRequest();
        game.sequence().start(1);
        QTRY_VERIFY(game.folder.exists("client1.sh.started"));

        QCOMPARE(m_journal->texts(), (QStringList{ToolMissing, ToolMissing}));
        QVERIFY(isQuitPending());
    }

    void toolThatCannotBeStartedKeepsTheLauncherOpen()
    {
        Game game;
        game.folder.write("updater4.new", "x");
        game.addProgram("duzuvadir.lol", "MZ windows tool");
        qputenv("WINE", "/nonexistent/wine");

        checkUpdaterReplacement();

        const QStringList texts = m_journal->texts();
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts[0], HandOver);
        QVERIFY(texts[1].startsWith("-= Can't start duzuvadir.lol =-"));
        QVERIFY(!isQuitPending());
    }

    void addOnIsCopiedWithoutReplacingInstalledFiles()
    {
        GameFolder game;
        for (const QString& name : AddOnFiles)
            game.write("tarvo-updater/addon's/gv_mousefreedom/" + name.toUpper(), "new " + name.toLatin1());
        game.write("GV_MF.ini", "older ini");

        applyMouseFreedom(true);

        QCOMPARE(game.read("dinput.dll"), QByteArray("new dinput.dll"));
        QCOMPARE(game.read("GV_MF.bin"), QByteArray("new GV_MF.bin"));
        QCOMPARE(game.read("GV_MF.ini"), QByteArray("older ini"));
        QVERIFY(m_journal->entries().isEmpty());
    }

    void addOnWithAMissingSourceCopiesNothing()
    {
        Game game;
        game.addAddOnSources({"dinput.dll", "GV_MF.bin"});
        game.addProgram("client1.sh");
        game.state.freedomMouseStatus = true;

        game.sequence().start(1);

        const auto boxes = m_journal->entries();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]["text"].toString(), AddOnMissing);
        QCOMPARE(boxes[0]["title"].toString(), QString("Alert"));
        QCOMPARE(boxes[0]["icon"].toString(), QString("stop"));
        for (const QString& name : AddOnFiles)
            QVERIFY(!game.folder.exists(name));
        QTRY_VERIFY(game.folder.exists("client1.sh.started"));
        QVERIFY(isQuitPending());
    }

    void addOnIsRemovedSilentlyWhenOff()
    {
        GameFolder game;
        game.write("DINPUT.DLL", "x");
        game.write("GV_MF.ini", "x");
        game.write("readme.txt", "kept");
        QDir(game.path()).mkdir("GV_MF.bin");

        applyMouseFreedom(false);
        QVERIFY(!game.exists("DINPUT.DLL"));
        QVERIFY(!game.exists("GV_MF.ini"));
        QVERIFY(game.exists("GV_MF.bin"));
        QVERIFY(game.exists("readme.txt"));

        applyMouseFreedom(false);
        QVERIFY(m_journal->entries().isEmpty());
    }

private:
    std::unique_ptr<test::DialogJournal> m_journal;
};

QTEST_MAIN(TestGameStart)
#include "tst_gamestart.moc"
