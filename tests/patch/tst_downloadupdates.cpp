// The update run end to end against a loopback HTTP server: which slots are fetched, what is
// recorded, the exact boxes, and that no failure records an unapplied slot or loses a game file.

#include "RarFixture.h"
#include "net/HttpClient.h"
#include "patch/DownloadDisplay.h"
#include "patch/DownloadUpdates.h"
#include "patch/PatchExtraction.h"
#include "support/DialogJournal.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSupport.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>

#include <clocale>
#include <memory>

using namespace updater;
using namespace updater::test;

namespace {

struct Window
{
    QGroupBox group, status;
    QLabel filename, size, progress, percent;
    QProgressBar bar;
    DownloadControls controls() { return {&group, &status, &filename, &size, &progress, &percent, &bar}; }
};

// One run of the worker with recording hooks.
struct Run
{
    Window window;
    DownloadDisplay display{window.controls()};
    HttpClient http;
    Configuration config;
    QStringList steps;
    int closeRequests = 0;
    QThread* monitorThread = nullptr;

    explicit Run(const std::string& patchList)
    {
        config.patchList = patchList;
        http.setWorkEvents(display.workEvents());
    }

    std::unique_ptr<DownloadUpdates> worker()
    {
        DownloadUpdates::Hooks hooks;
        hooks.startMonitors = [this] {
            steps << "monitors";
            monitorThread = QThread::currentThread();
        };
        hooks.armTimer = [this] { steps << "timer"; };
        hooks.requestWindowClose = [this] {
            ++closeRequests;
            return false;
        };
        return std::make_unique<DownloadUpdates>(config, http, display, hooks);
    }

    void execute() { worker()->execute(); }
};

QByteArray archiveOf(const QList<QPair<QString, QByteArray>>& entries)
{
    RarBuilder builder;
    QStringList names;
    for (const auto& [name, bytes] : entries) {
        builder.add(name, bytes);
        names << name;
    }
    return builder.build(names);
}

} // namespace

class DownloadUpdatesTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DialogJournal> m_journal;
    QTemporaryDir m_fixtures;

    // Serves the bytes as a file at /patches/<name>.
    void serveArchive(ScriptedHttpServer& server, const QString& name, const QByteArray& bytes)
    {
        const QString path = m_fixtures.filePath(name);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        server.serveFile("/patches/" + name.toStdString(), path.toStdString());
    }

    static std::string listOf(const ScriptedHttpServer& server, const QStringList& names)
    {
        std::string list = "[Updates]\r\n";
        for (int i = 0; i < names.size(); ++i)
            list += "Update_" + std::to_string(i + 1) + "=" +
                    server.url("/patches/" + names[i].toStdString()) + "\r\n";
        return list;
    }

    static QStringList targetsRequested(const ScriptedHttpServer& server)
    {
        QStringList targets;
        for (const std::string& r : server.requests())
            targets << QString::fromStdString(r.substr(4, r.find(' ', 4) - 4));
        return targets;
    }

private slots:
    void initTestCase()
    {
        std::setlocale(LC_ALL, "");
        m_journal = std::make_unique<DialogJournal>();
    }

    void init() { m_journal->clear(); }

    void appliesEveryUnrecordedSlotInOrder()
    {
        GameFolder game;
        game.write("Tarvo-Updater/applied4.list", "[Updates]\r\nUpdate_1=p1.rar\r\n");
        game.write("data/old.txt", "old");
        ScriptedHttpServer server;
        serveArchive(server, "p2.rar", archiveOf({{"data/two.txt", "2"}, {"data/old.txt", "new"}}));
        serveArchive(server, "p3.rar", archiveOf({{"three.txt", "3"}}));
        const std::string list = listOf(server, {"p1.rar", "p2.rar", "p3.rar"});
        server.serve("/updates4.list", ScriptedHttpServer::ok(list));

        Run run(server.url("/updates4.list"));
        run.execute();

        QCOMPARE(targetsRequested(server),
                 QStringList({"/updates4.list", "/patches/p2.rar", "/patches/p3.rar"}));
        QCOMPARE(game.read("Tarvo-Updater/updates4.list"), QByteArray::fromStdString(list));
        QCOMPARE(game.read("Tarvo-Updater/applied4.list"),
                 QByteArray("[Updates]\r\nUpdate_1=p1.rar\r\nUpdate_2=p2.rar\r\nUpdate_3=p3.rar\r\n"));
        QCOMPARE(game.read("data/two.txt"), QByteArray("2"));
        QCOMPARE(game.read("data/old.txt"), QByteArray("new"));
        QCOMPARE(game.read("three.txt"), QByteArray("3"));
        QVERIFY(!game.exists("p2.rar"));
        QVERIFY(!game.exists("p3.rar"));
        QCOMPARE(run.steps, QStringList({"monitors", "timer"}));
        QVERIFY(m_journal->texts().isEmpty());
        QVERIFY(run.window.status.isHidden());
        QVERIFY(run.window.filename.text().startsWith("unrar... please wait! [ "));
    }

    void nothingPendingStartsTheMonitorsAtOnce()
    {
        GameFolder game;
        game.write("Tarvo-Updater/applied4.list", "[Updates]\r\nUpdate_1=p1.rar\r\n");
        ScriptedHttpServer server;
        server.serve("/l", ScriptedHttpServer::ok(listOf(server, {"p1.rar"})));
        Run run(server.url("/l"));
        run.execute();
        QCOMPARE(targetsRequested(server), QStringList({"/l"}));
        QCOMPARE(run.steps, QStringList({"monitors", "timer"}));
        QVERIFY(run.window.group.isHidden());
    }

    void failedListDownloadUsesTheOldList()
    {
        GameFolder game;
        ScriptedHttpServer server;
        serveArchive(server, "p2.rar", archiveOf({{"two.txt", "2"}}));
        const QByteArray oldList = QByteArray::fromStdString(listOf(server, {"p1.rar", "p2.rar"}));
        game.write("Tarvo-Updater/updates4.list", oldList);
        game.write("Tarvo-Updater/applied4.list", "[Updates]\r\nUpdate_1=p1.rar\r\n");
        server.serve("/list", ScriptedHttpServer::status("404 Not Found", "gone"));

        Run run(server.url("/list"));
        run.execute();

        const QList<DialogJournal::Shown> shown = m_journal->dialogs();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QString("Alert"));
        QCOMPARE(shown[0].icon, QString("stop"));
        QCOMPARE(shown[0].text, QString::fromStdString("-= CRITICAL ERROR 3 =-\n\nCan't download new " +
                                                       server.url("/list") +
                                                       "\n\nError message: 404 Not Found\nAsk GM for fix.\n\n"
                                                       "Possible updates will be skiped..."));
        QCOMPARE(game.read("Tarvo-Updater/updates4.list"), oldList);
        QCOMPARE(targetsRequested(server), QStringList({"/list", "/patches/p2.rar"}));
        QCOMPARE(game.read("two.txt"), QByteArray("2"));
        QCOMPARE(run.steps, QStringList({"monitors", "timer"}));
    }

    void noListAtAllCreatesAnEmptyOne()
    {
        GameFolder game;
        QDir().mkdir("Tarvo-Updater");
        const std::string url = "http://127.0.0.1:" + std::to_string(ScriptedHttpServer::unusedPort()) + "/l";
        Run run(url);
        run.execute();
        QCOMPARE(m_journal->texts(),
                 QStringList({QString::fromStdString(
                     "-= CRITICAL ERROR 3 =-\n\nCan't download new " + url +
                     "\n\nError message: \nAsk GM for fix.\n\nPossible updates will be skiped...")}));
        QVERIFY(game.exists("Tarvo-Updater/updates4.list"));
        QCOMPARE(game.read("Tarvo-Updater/updates4.list"), QByteArray());
        QVERIFY(!game.exists("Tarvo-Updater/applied4.list"));
        QCOMPARE(run.steps, QStringList({"monitors", "timer"}));
    }

    void listThatCannotBeSavedNamesTheSuccessfulReply()
    {
        GameFolder game; // no updater folder
        ScriptedHttpServer server;
        server.serve("/l", ScriptedHttpServer::ok("[Updates]\r\nUpdate_1=http://127.0.0.1:1/x.rar\r\n"));
        Run run(server.url("/l"));
        run.execute();
        QCOMPARE(m_journal->texts(), QStringList({QString::fromStdString(
                                         "-= CRITICAL ERROR 3 =-\n\nCan't download new " + server.url("/l") +
                                         "\n\nError message: 200 OK\nAsk GM for fix.\n\n"
                                         "Possible updates will be skiped...")}));
        QVERIFY(!game.exists("Tarvo-Updater"));
        QCOMPARE(targetsRequested(server), QStringList({"/l"}));
        QCOMPARE(run.steps, QStringList({"monitors", "timer"}));
    }

    void failedPatchDownloadEndsTheRunAndTheNextRunResumes()
    {
        GameFolder game;
        QDir().mkdir("Tarvo-Updater");
        game.write("data/two.txt", "old two");
        ScriptedHttpServer server;
        serveArchive(server, "p1.rar", archiveOf({{"one.txt", "1"}}));
        serveArchive(server, "p3.rar", archiveOf({{"three.txt", "3"}}));
        const QStringList names{"p1.rar", "p2.rar", "p3.rar", "p4.rar", "p5.rar"};
        server.serve("/l", ScriptedHttpServer::ok(listOf(server, names)));
        server.serve("/patches/p2.rar", ScriptedHttpServer::status("404 Not Found", "missing"));

        {
            Run run(server.url("/l"));
            run.execute();
            QCOMPARE(m_journal->texts(),
                     QStringList({QString::fromStdString(
                         "-= CRITICAL ERROR 3 =-\n\nCan't download: " + server.url("/patches/p2.rar") +
                         "\n\nError message: 404 Not Found\nAsk GM for fix.\n\n"
                         "Updates will be skiped..")}));
            QCOMPARE(targetsRequested(server), QStringList({"/l", "/patches/p1.rar", "/patches/p2.rar"}));
            QCOMPARE(game.read("Tarvo-Updater/applied4.list"),
                     QByteArray("[Updates]\r\nUpdate_1=p1.rar\r\n"));
            QVERIFY(!game.exists("p2.rar"));
            QCOMPARE(QDir(game.path()).entryList({".updater*"}, QDir::Hidden | QDir::Files).size(), 0);
            QCOMPARE(game.read("data/two.txt"), QByteArray("old two"));
            QCOMPARE(run.steps, QStringList({"monitors", "timer"}));
            // The display stays until the monitors replace it.
            QVERIFY(!run.window.group.isHidden());
            QCOMPARE(run.window.filename.text(), QString("p2.rar"));
        }

        serveArchive(server, "p2.rar", archiveOf({{"data/two.txt", "new two"}}));
        serveArchive(server, "p4.rar", archiveOf({{"four.txt", "4"}}));
        serveArchive(server, "p5.rar", archiveOf({{"five.txt", "5"}}));
        m_journal->clear();
        Run again(server.url("/l"));
        again.execute();
        QVERIFY(m_journal->texts().isEmpty());
        QCOMPARE(targetsRequested(server).mid(3), QStringList({"/l", "/patches/p2.rar", "/patches/p3.rar",
                                                               "/patches/p4.rar", "/patches/p5.rar"}));
        QCOMPARE(game.read("data/two.txt"), QByteArray("new two"));
        QCOMPARE(game.read("five.txt"), QByteArray("5"));
    }

    void archiveThatFailsIsNotRecordedAndEndsTheRun()
    {
        GameFolder game;
        game.write("Tarvo-Updater/applied4.list", "[Updates]\r\nUpdate_1=old1.rar\r\n");
        ScriptedHttpServer server;
        serveArchive(server, "p1.rar", "<html>an error page</html>");
        serveArchive(server, "p2.rar", archiveOf({{"two.txt", "2"}}));
        server.serve("/l", ScriptedHttpServer::ok(listOf(server, {"p1.rar", "p2.rar"})));

        Run run(server.url("/l"));
        run.execute();

        QCOMPARE(m_journal->texts(), QStringList({" Cant open file: p1.rar\nError Code13"}));
        QCOMPARE(run.closeRequests, 1);
        QCOMPARE(game.read("Tarvo-Updater/applied4.list"), QByteArray("[Updates]\r\nUpdate_1=old1.rar\r\n"));
        QVERIFY(!game.exists("p1.rar"));
        QCOMPARE(targetsRequested(server), QStringList({"/l", "/patches/p1.rar"}));
        QCOMPARE(run.steps, QStringList({"monitors", "timer"}));
    }

    void recordThatCannotBeWrittenEndsTheRun()
    {
        GameFolder game;
        QDir().mkpath("Tarvo-Updater/applied4.list"); // a folder in the record's place
        ScriptedHttpServer server;
        serveArchive(server, "p1.rar", archiveOf({{"one.txt", "1"}}));
        serveArchive(server, "p2.rar", archiveOf({{"two.txt", "2"}}));
        server.serve("/l", ScriptedHttpServer::ok(listOf(server, {"p1.rar", "p2.rar"})));

        Run run(server.url("/l"));
        run.execute();

        const QList<DialogJournal::Shown> shown = m_journal->dialogs();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QString("Alert"));
        QCOMPARE(shown[0].icon, QString("stop"));
        QVERIFY2(
            shown[0].text.startsWith("-= CRITICAL ERROR 3 =-\n\nCan't write Tarvo-Updater\\applied4.list"),
            qPrintable(shown[0].text));
        QCOMPARE(targetsRequested(server), QStringList({"/l", "/patches/p1.rar"}));
        QCOMPARE(game.read("one.txt"), QByteArray("1"));
        QVERIFY(!game.exists("p1.rar"));
        QCOMPARE(run.steps, QStringList({"monitors", "timer"}));
    }

    void runsOnItsOwnThread()
    {
        resetUnpackedFileCountForTest();
        GameFolder game;
        QDir().mkdir("Tarvo-Updater");
        ScriptedHttpServer server;
        QByteArray big(3 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < big.size(); ++i)
            big[i] = char((i * 2654435761u) >> 13);
        serveArchive(server, "p1.rar", archiveOf({{"a.bin", big}, {"b.txt", "b"}, {"c/d.txt", "d"}}));
        server.serve("/l", ScriptedHttpServer::ok(listOf(server, {"p1.rar"})));

        Run run(server.url("/l"));
        std::unique_ptr<DownloadUpdates> worker = run.worker();
        QSignalSpy finished(worker.get(), &QThread::finished);
        worker->start();
        QVERIFY(finished.wait(60000));
        QCoreApplication::processEvents();

        QCOMPARE(run.steps, QStringList({"monitors", "timer"}));
        QCOMPARE(run.monitorThread, static_cast<QThread*>(worker.get()));
        QCOMPARE(game.read("a.bin"), big);
        QCOMPARE(game.read("c/d.txt"), QByteArray("d"));
        QCOMPARE(unpackedFileCount(), 3);
        QCOMPARE(run.window.filename.text(), QString("unrar... please wait! [ 3 ]"));
        QVERIFY(run.window.status.isHidden());
        QVERIFY(!run.window.group.isHidden());
        QCOMPARE(game.read("Tarvo-Updater/applied4.list"), QByteArray("[Updates]\r\nUpdate_1=p1.rar\r\n"));
    }
};

QTEST_MAIN(DownloadUpdatesTest)
#include "tst_downloadupdates.moc"
