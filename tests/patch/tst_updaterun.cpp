// The update run end to end against a loopback HTTP server: which slots are fetched, what is
// recorded, what the player is told, the signals, that no failure records an unapplied slot or
// loses a game file, what a killed run left behind is cleared, and that a stop ends a stalled
// download at once.

#include "net/HttpClient.h"
#include "patch/Downloads.h"
#include "patch/InstalledFiles.h"
#include "patch/PatchDownload.h"
#include "patch/PatchExtraction.h"
#include "patch/TestHooks.h"
#include "patch/UpdateRun.h"
#include "platform/DiskSync.h"
#include "platform/GamePath.h"
#include "platform/ProfileFile.h"
#include "platform/TestHooks.h"
#include "share/PatchSharing.h"
#include "support/DiskEventLog.h"
#include "support/LoopbackSwarm.h"
#include "support/RarFixture.h"
#include "support/RecordingPlayer.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSupport.h"
#include "trust/Sha256.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <clocale>
#include <sys/mount.h>
#include <unistd.h>

using namespace updater;
using namespace updater::test;

namespace {

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

// The applied record of the first `count` slots of p1.rar, p2.rar, ...
QByteArray recordOf(int count)
{
    QByteArray record = "[Updates]\r\n";
    for (int i = 1; i <= count; ++i)
        record += QByteArray("Update_%1=p%1.rar\r\n").replace("%1", QByteArray::number(i));
    return record;
}

// What the player hears of a notice: kind, subject, reply and code (the cause is diagnostics).
QString told(const Notice& notice)
{
    return QString("kind %1: %2 [%3] %4")
        .arg(int(notice.kind))
        .arg(QString::fromStdString(notice.subject), QString::fromStdString(notice.reply))
        .arg(notice.code);
}

QStringList told(const QList<Notice>& notices)
{
    QStringList lines;
    for (const Notice& notice : notices)
        lines << told(notice);
    return lines;
}

// Temporary files of downloads and extractions.
QStringList leftovers(const QString& folder)
{
    return QDir(folder).entryList({".updater-*"}, QDir::Hidden | QDir::Files);
}

// The names in the folder, hidden ones too.
QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QVariantList firstArguments(const QVariantList& outcomes)
{
    return outcomes;
}

// The first argument of every signal the spy saw.
QVariantList firstArguments(const QSignalSpy& spy)
{
    QVariantList arguments;
    for (const QList<QVariant>& signal : spy)
        arguments << signal.at(0);
    return arguments;
}

// One update run with its signals recorded.
struct Run
{
    explicit Run(const std::string& patchList, std::vector<std::string> mirrors = {})
        : config(configurationOf(patchList, std::move(mirrors)))
    {
        QObject::connect(&run, &UpdateRun::updateEnded, [this](bool allApplied) { finished << allApplied; });
        QObject::connect(&run, &UpdateRun::repairEnded,
                         [this](const RepairReport& report) { finished << report.after.whole(); });
    }

    static Configuration configurationOf(const std::string& patchList, std::vector<std::string> mirrors)
    {
        Configuration config;
        config.patchList = patchList;
        config.patchMirrors = std::move(mirrors);
        return config;
    }

    const Configuration config;
    RecordingPlayer player;
    UpdateRun run{config, player};
    QSignalSpy patchStarted{&run, &UpdateRun::patchStarted};
    QSignalSpy unpackingStarted{&run, &UpdateRun::unpackingStarted};
    // Each task's outcome: every slot applied, or after a repair the folder whole.
    QVariantList finished;
};

} // namespace

class UpdateRunTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_fixtures;

    // Serves the bytes as a file at /patches/<name>.
    void serveArchive(ScriptedHttpServer& server, const QString& name, const QByteArray& bytes)
    {
        writeFileOrDie(m_fixtures.filePath(name), bytes);
        server.serveFile("/patches/" + name.toStdString(), m_fixtures.filePath(name).toStdString());
    }

    static QByteArray listOf(const ScriptedHttpServer& server, int count)
    {
        std::string list = "[Updates]\r\n";
        for (int i = 1; i <= count; ++i)
            list += "Update_" + std::to_string(i) + "=" +
                    server.url("/patches/p" + std::to_string(i) + ".rar") + "\r\n";
        return QByteArray::fromStdString(list);
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
        RetryTiming timing;
        timing.waits = {std::chrono::milliseconds(20), std::chrono::milliseconds(20)};
        timing.busyFirstWait = timing.busyLongestWait = std::chrono::milliseconds(20);
        timing.busySlotTime = std::chrono::milliseconds(200);
        timing.busyQuestionAfter = std::chrono::milliseconds(0);
        setRetryTimingForTest(timing);
    }

    // A slot that cannot fit on the game folder's disk is refused before anything of it is
    // written: from the integrity line's size before the download, from the announced length
    // before its first byte, from the entries' sizes before unpacking.
    void roomIsCheckedBeforeAnythingIsWritten_data()
    {
        QTest::addColumn<bool>("integrityLine");
        QTest::addColumn<int>("availableArchives"); // the room, in archive sizes
        QTest::addColumn<QStringList>("requested");
        QTest::addColumn<QString>("needed"); // "2 archives", "entries", or "" (applied)
        const QStringList both{"/l", "/patches/p1.rar"};
        QTest::newRow("the integrity line's size, before the download")
            << true << 1 << QStringList{"/l"} << "2 archives";
        QTest::newRow("the announced length, before its first byte") << false << 1 << both << "2 archives";
        QTest::newRow("the entries, before unpacking") << false << 3 << both << "entries";
        QTest::newRow("room enough") << true << 100000 << both << "";
    }

    void roomIsCheckedBeforeAnythingIsWritten()
    {
        QFETCH(bool, integrityLine);
        QFETCH(int, availableArchives);
        QFETCH(QStringList, requested);
        QFETCH(QString, needed);
        GameFolder game;
        game.write("Tarvo-Updater/applied4.list", recordOf(0));
        // A megabyte of zeros packs into far less than a tenth of it.
        const QByteArray archive = archiveOf({{"data/big.bin", QByteArray(1024 * 1024, '\0')}});
        const uint64_t entries = 1024 * 1024;
        ScriptedHttpServer server;
        serveArchive(server, "p1.rar", archive);
        QByteArray list = listOf(server, 1);
        if (integrityLine)
            list += "[Integrity]\r\nUpdate_1=" + QByteArray::number(archive.size()) + " " +
                    QCryptographicHash::hash(archive, QCryptographicHash::Sha256).toHex() + "\r\n";
        server.serve("/l", ScriptedHttpServer::ok(list.toStdString()));
        setAvailableBytesForTest(uint64_t(archive.size()) * availableArchives);
        const auto restore = qScopeGuard([] { setAvailableBytesForTest(std::nullopt); });

        Run run(server.url("/l"));
        run.run.run();

        QCOMPARE(targetsRequested(server), requested);
        const bool applied = needed.isEmpty();
        QCOMPARE(game.exists("data/big.bin"), applied);
        QCOMPARE(firstArguments(run.finished), QVariantList{applied});
        QCOMPARE(namesIn(game.path() + "/Tarvo-Updater/downloads"), QStringList());
        if (applied)
            return;
        const QList<Notice> told = run.player.notices();
        QCOMPARE(told.size(), 1);
        QCOMPARE(told.first().kind, NoticeKind::NoRoom);
        QCOMPARE(told.first().subject, std::string("p1.rar"));
        QCOMPARE(told.first().needed, needed == "entries" ? entries : 2 * uint64_t(archive.size()));
        QCOMPARE(told.first().available, uint64_t(archive.size()) * availableArchives);
    }

    // A slot whose server answers busy asks the player once a run whether to wait on; "No" ends the
    // run as a failed slot does, with nothing more to tell. A run's own limit gives up unasked.
    void busyServerAsksThePlayerOnce_data()
    {
        QTest::addColumn<int>("busyAnswers");  // then the archive
        QTest::addColumn<bool>("waitsOn");     // the player's answer
        QTest::addColumn<int>("limitSeconds"); // -1: none
        QTest::addColumn<int>("questions");
        QTest::addColumn<QList<NoticeKind>>("told");
        QTest::addColumn<bool>("applied");
        QTest::newRow("the player goes on without it")
            << 100 << false << -1 << 1 << QList<NoticeKind>() << false;
        QTest::newRow("the player waits on") << 4 << true << -1 << 1 << QList<NoticeKind>() << true;
        QTest::newRow("the run's limit, unasked")
            << 100 << true << 0 << 0 << QList<NoticeKind>{NoticeKind::PatchUnavailable} << false;
    }

    void busyServerAsksThePlayerOnce()
    {
        QFETCH(int, busyAnswers);
        QFETCH(bool, waitsOn);
        QFETCH(int, limitSeconds);
        // However slow the machine, four busy answers stay within the slot's time.
        const RetryTiming saved = retryTimingInUse();
        const auto restore = qScopeGuard([saved] { setRetryTimingForTest(saved); });
        RetryTiming timing = saved;
        timing.busySlotTime = std::chrono::minutes(5);
        setRetryTimingForTest(timing);
        GameFolder game;
        game.write("Tarvo-Updater/applied4.list", recordOf(0));
        ScriptedHttpServer server;
        std::vector<ScriptedHttpServer::Reply> replies(busyAnswers,
                                                       ScriptedHttpServer::status("503 Service Unavailable"));
        replies.push_back(ScriptedHttpServer::ok(archiveOf({{"one.txt", "1"}}).toStdString()));
        server.serveSequence("/patches/p1.rar", replies);
        server.serve("/l", ScriptedHttpServer::ok(listOf(server, 1).toStdString()));

        Run run(server.url("/l"));
        run.player.waitsForBusyServers = waitsOn;
        if (limitSeconds >= 0)
            run.run.setBusyWaitLimit(std::chrono::seconds(limitSeconds));
        run.run.run();

        QTEST(run.player.busyQuestions, "questions");
        QTEST(run.player.kinds(), "told");
        QFETCH(bool, applied);
        QCOMPARE(firstArguments(run.finished), QVariantList{applied});
        QCOMPARE(game.exists("one.txt"), applied);
        QCOMPARE(game.read("Tarvo-Updater/applied4.list").contains("Update_1=p1.rar"), applied);
    }

    void appliesEveryUnrecordedSlotInOrder_data()
    {
        QTest::addColumn<int>("recorded");
        QTest::addColumn<QStringList>("requested");
        QTest::addColumn<QVariantList>("started");
        QTest::newRow("two pending") << 1 << QStringList{"/l", "/patches/p2.rar", "/patches/p3.rar"}
                                     << QVariantList{"p2.rar", "p3.rar"};
        QTest::newRow("nothing pending") << 3 << QStringList{"/l"} << QVariantList{};
    }

    void appliesEveryUnrecordedSlotInOrder()
    {
        QFETCH(int, recorded);
        QFETCH(QStringList, requested);
        QFETCH(QVariantList, started);
        GameFolder game;
        game.write("Tarvo-Updater/applied4.list", recordOf(recorded));
        game.write("data/old.txt", "old");
        ScriptedHttpServer server;
        serveArchive(server, "p1.rar", archiveOf({{"one.txt", "1"}}));
        serveArchive(server, "p2.rar", archiveOf({{"data/two.txt", "2"}, {"data/old.txt", "new"}}));
        serveArchive(server, "p3.rar", archiveOf({{"three.txt", "3"}}));
        const QByteArray list = listOf(server, 3);
        server.serve("/l", ScriptedHttpServer::ok(list.toStdString()));

        Run run(server.url("/l"));
        run.run.run();

        QCOMPARE(targetsRequested(server), requested);
        QCOMPARE(firstArguments(run.patchStarted), started);
        QCOMPARE(run.unpackingStarted.count(), started.size());
        QCOMPARE(firstArguments(run.finished), QVariantList{true});
        QVERIFY(run.player.notices().isEmpty());
        QCOMPARE(game.read("Tarvo-Updater/updates4.list"), list);
        QCOMPARE(game.read("Tarvo-Updater/applied4.list"), recordOf(3));
        const bool applied = !started.isEmpty();
        QCOMPARE(game.read("data/old.txt"), QByteArray(applied ? "new" : "old"));
        QCOMPARE(game.exists("data/two.txt"), applied);
        QCOMPARE(game.exists("three.txt"), applied);
        QVERIFY(!game.exists("one.txt"));
        QVERIFY(!game.exists("p2.rar") && !game.exists("p3.rar"));
    }

    // A power cut must never leave a slot recorded whose files are not yet on the disk: the order in
    // which files are put in place and synced is the run's promise.
    void slotIsRecordedOnlyOnceItsFilesAreOnTheDisk()
    {
        GameFolder game;
        game.write("Tarvo-Updater/applied4.list", recordOf(0));
        ScriptedHttpServer server;
        serveArchive(server, "p1.rar", archiveOf({{"data/one.txt", "1"}, {"two\tthree.txt", "2"}}));
        serveArchive(server, "p2.rar", archiveOf({{"data/one.txt", "one again"}}));
        server.serve("/l", ScriptedHttpServer::ok(listOf(server, 2).toStdString()));
        const DiskEventLog events;

        Run run(server.url("/l"));
        run.run.run();

        // Each file of the slot staged and on the disk before the journal that names them, then in
        // place and on the disk with the folders that name them, before its records; then the
        // journal is gone from the disk before the staged files.
        const auto durable = [](const QString& path) {
            return QStringList{"synced " + path, "synced " + path.section('/', 0, -2), "durable " + path};
        };
        const QStringList staged =
            QStringList{"synced Tarvo-Updater/staging", "synced Tarvo-Updater", "synced ."} +
            durable("Tarvo-Updater/slot-journal");
        const QStringList records = durable("Tarvo-Updater/installed-files.list") +
                                    durable("Tarvo-Updater/applied4.list") +
                                    QStringList{"synced Tarvo-Updater"}; // the journal gone
        const QStringList expected =
            durable("Tarvo-Updater/updates4.list") + durable("Tarvo-Updater/installed-files.list") +
            QStringList{"placed Tarvo-Updater/staging/1", "placed Tarvo-Updater/staging/2",
                        "synced Tarvo-Updater/staging/1", "synced Tarvo-Updater/staging/2"} +
            staged + QStringList{"placed data/one.txt",   "placed two\tthree.txt", "synced data/one.txt",
                                 "synced two\tthree.txt", "synced data",           "synced ."} +
            records + QStringList{"placed Tarvo-Updater/staging/1", "synced Tarvo-Updater/staging/1"} +
            staged + QStringList{"placed data/one.txt", "synced data/one.txt", "synced data", "synced ."} +
            records;
        QCOMPARE(events.lines(), expected);
        // The CRC-32s as zlib.crc32 gives them.
        QCOMPARE(game.read("Tarvo-Updater/installed-files.list"),
                 QByteArray("; Files the patches installed: slot, archive, size, CRC-32, path.\n"
                            "Update_2\tp2.rar\t9\t2b1322c7\tdata/one.txt\n"
                            "Update_1\tp1.rar\t1\t1ad5be0d\ttwo\\tthree.txt\n"));
        // Read back, the escaped name is the file's.
        const InstalledFiles reread(resolveGamePath(installedFilesPath()));
        QVERIFY(reread.files().contains("two\tthree.txt"));
    }

    // The game folder resolves names without regard to letter case: a file recorded as "Data/Map.txt"
    // comes back as the resolver spells it once deleted, and the record follows.
    void repairMendsAFileWhoseNameNowResolvesInAnotherCase()
    {
        GameFolder game;
        game.write("Tarvo-Updater/applied4.list", recordOf(0));
        game.write("Data/Map.txt", "old");
        ScriptedHttpServer server;
        serveArchive(server, "p1.rar", archiveOf({{"data/map.txt", "map"}, {"data/other.txt", "other"}}));
        server.serve("/l", ScriptedHttpServer::ok(listOf(server, 1).toStdString()));
        Run(server.url("/l")).run.run();
        QCOMPARE(game.read("Data/Map.txt"), QByteArray("map"));
        QFile::remove(game.path() + "/Data/Map.txt");

        Run repair(server.url("/l"));
        repair.run.repair();

        QCOMPARE(firstArguments(repair.finished), QVariantList{true});
        QCOMPARE(game.read("Data/map.txt"), QByteArray("map"));
        const InstalledFiles record(resolveGamePath(installedFilesPath()));
        QStringList recorded;
        for (const auto& [path, file] : record.files())
            recorded << QString::fromStdString(path);
        QCOMPARE(recorded, (QStringList{"Data/map.txt", "Data/other.txt"}));
    }

    // A crash at a disk event (the observer throws there, as if the launcher died): once the journal
    // names the staged files, the next start puts the rest in place and records the slot without
    // fetching it again; before that, it clears the staging folder and applies the slot anew.
    void interruptedSlotIsSettledAtTheNextStart_data()
    {
        QTest::addColumn<QString>("crashAt");
        QTest::addColumn<int>("downloads");
        QTest::newRow("first file put in place") << "data/one.txt" << 1;
        QTest::newRow("first file staged") << "Tarvo-Updater/staging/1" << 2;
    }
    void interruptedSlotIsSettledAtTheNextStart()
    {
        QFETCH(QString, crashAt);
        QFETCH(int, downloads);
        GameFolder game;
        game.write("Tarvo-Updater/applied4.list", recordOf(0));
        game.write("data/one.txt", "old");
        ScriptedHttpServer server;
        serveArchive(server, "p1.rar", archiveOf({{"data/one.txt", "new"}, {"two.txt", "2"}}));
        server.serve("/l", ScriptedHttpServer::ok(listOf(server, 1).toStdString()));
        setDiskEventObserverForTest([&crashAt](DiskEvent, const std::string& path) {
            if (path == crashAt.toStdString())
                throw std::runtime_error("crash");
        });
        {
            const auto noObserver = qScopeGuard([] { setDiskEventObserverForTest({}); });
            Run crashed(server.url("/l"));
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, crashed.run.run());
        }
        QCOMPARE(game.read("two.txt"), QByteArray());

        Run next(server.url("/l"));
        next.run.run();

        QCOMPARE(firstArguments(next.finished), QVariantList{true});
        QCOMPARE(targetsRequested(server).count("/patches/p1.rar"), downloads);
        QCOMPARE(game.read("data/one.txt"), QByteArray("new"));
        QCOMPARE(game.read("two.txt"), QByteArray("2"));
        QCOMPARE(game.read("Tarvo-Updater/applied4.list"), recordOf(1));
        const InstalledFiles installed(resolveGamePath(installedFilesPath()));
        QCOMPARE(installed.files().size(), size_t(2));
        QVERIFY(!game.exists("Tarvo-Updater/slot-journal") && !game.exists("Tarvo-Updater/staging"));
    }

    void unavailableListIsToldAndTheRunGoesOn_data()
    {
        QTest::addColumn<QString>("reply"); // the list address's answer; empty: nothing listens there
        QTest::addColumn<int>("bodySize");  // 0: the old list is the answer's body
        QTest::addColumn<bool>("updaterFolder");
        QTest::addColumn<QStringList>("requested");
        // What the player reads: the status text when it failed the request, else what went wrong
        // (never the "200 OK" of an answer that was fine until something else broke).
        QTest::addColumn<QString>("told");
        QTest::newRow("not found: the old list is used")
            << "404 Not Found" << 0 << true << QStringList{"/l", "/patches/p2.rar"} << "404 Not Found";
        QTest::newRow("no answer: an empty list is made")
            << "" << 0 << true << QStringList{} << "connection refused";
        QTest::newRow("no updater folder: the list is not kept")
            << "200 OK" << 0 << false << QStringList{"/l"}
            << "Cannot create file Tarvo-Updater/updates4.list";
        QTest::newRow("over 16 MiB: the old list is used")
            << "200 OK" << 16 * 1024 * 1024 + 1 << true << QStringList{"/l", "/patches/p2.rar"}
            << "list larger than 16 MiB";
    }

    void unavailableListIsToldAndTheRunGoesOn()
    {
        QFETCH(QString, reply);
        QFETCH(int, bodySize);
        QFETCH(bool, updaterFolder);
        QFETCH(QStringList, requested);
        QFETCH(QString, told);
        GameFolder game;
        ScriptedHttpServer server;
        serveArchive(server, "p2.rar", archiveOf({{"two.txt", "2"}}));
        const QByteArray oldList = listOf(server, 2);
        if (updaterFolder) {
            game.write("Tarvo-Updater/applied4.list", recordOf(1));
            if (!reply.isEmpty())
                game.write("Tarvo-Updater/updates4.list", oldList);
        }
        const std::string body = bodySize ? std::string(bodySize, 'x') : oldList.toStdString();
        server.serve("/l", ScriptedHttpServer::status(reply.toStdString(), body));
        const std::string url =
            reply.isEmpty() ? "http://127.0.0.1:" + std::to_string(ScriptedHttpServer::unusedPort()) + "/l"
                            : server.url("/l");

        Run run(url);
        run.run.run();

        QCOMPARE(::told(run.player.notices()),
                 QStringList{::told({NoticeKind::PatchListUnavailable, url, told.toStdString(), {}})});
        QCOMPARE(targetsRequested(server), requested);
        QCOMPARE(firstArguments(run.finished), QVariantList{false});
        if (!updaterFolder) {
            QVERIFY(!game.exists("Tarvo-Updater"));
        } else if (!reply.isEmpty()) {
            QCOMPARE(game.read("Tarvo-Updater/updates4.list"), oldList);
            QCOMPARE(game.read("two.txt"), QByteArray("2"));
            QCOMPARE(game.read("Tarvo-Updater/applied4.list"), recordOf(2));
        } else {
            QVERIFY(game.exists("Tarvo-Updater/updates4.list"));
            QCOMPARE(game.read("Tarvo-Updater/updates4.list"), QByteArray());
            QCOMPARE(game.read("Tarvo-Updater/applied4.list"), recordOf(1));
        }
    }

    // An empty folder in place of the record is mended at the start: the run then records.
    void startMendsAnEmptyFolderInPlaceOfTheRecord()
    {
        GameFolder game;
        QVERIFY(QDir().mkpath("Tarvo-Updater/applied4.list"));
        ScriptedHttpServer server;
        serveArchive(server, "p1.rar", archiveOf({{"one.txt", "1"}}));
        server.serve("/l", ScriptedHttpServer::ok(listOf(server, 1).toStdString()));

        Run run(server.url("/l"));
        run.run.run();

        QCOMPARE(firstArguments(run.finished), QVariantList{true});
        QCOMPARE(game.read("Tarvo-Updater/applied4.list"), recordOf(1));
    }

    void failedSlotEndsTheRunUnrecorded_data()
    {
        // Slot 1 is recorded, except where the record cannot be written; {server} is the
        // server's address.
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QStringList>("requested");
        // Asked for during the failed slot's extraction, or not, then dropped.
        QTest::addColumn<QString>("ahead");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("code");
        QTest::newRow("download refused") << "download" << QStringList{"/l", "/patches/p2.rar"} << ""
                                          << int(NoticeKind::PatchUnavailable) << "{server}/patches/p2.rar"
                                          << "404 Not Found" << 0;
        QTest::newRow("archive unreadable")
            << "archive" << QStringList{"/l", "/patches/p2.rar"} << "/patches/p3.rar"
            << int(NoticeKind::ArchiveUnreadable) << "p2.rar"
            << "" << 13;
        QTest::newRow("record not writable")
            << "record" << QStringList{"/l", "/patches/p1.rar"} << "/patches/p2.rar"
            << int(NoticeKind::RecordNotWritten) << "p1.rar"
            << "" << 0;
        // Read as empty, it would have every slot applied again over newer ones.
        QTest::newRow("record too large")
            << "record too large" << QStringList{"/l"} << "" << int(NoticeKind::RecordUnreadable) << ""
            << "The file is larger than 16 MiB." << 0;
    }

    void failedSlotEndsTheRunUnrecorded()
    {
        QFETCH(QString, failure);
        QFETCH(QStringList, requested);
        QFETCH(QString, ahead);
        QFETCH(int, kind);
        QFETCH(QString, subject);
        QFETCH(QString, reply);
        QFETCH(int, code);
        GameFolder game;
        if (failure == "record")
            // A folder with someone's file in the record's place: not the launcher's to remove.
            QVERIFY(QDir().mkpath("Tarvo-Updater/applied4.list/kept"));
        else
            game.write("Tarvo-Updater/applied4.list", recordOf(1));
        if (failure == "record too large")
            QVERIFY(QFile::resize("Tarvo-Updater/applied4.list", ProfileFile::Largest + 1));
        game.write("data/two.txt", "old two");
        ScriptedHttpServer server;
        serveArchive(server, "p1.rar", archiveOf({{"one.txt", "1"}}));
        serveArchive(server, "p2.rar", archiveOf({{"data/two.txt", "new two"}}));
        serveArchive(server, "p3.rar", archiveOf({{"three.txt", "3"}}));
        if (failure == "download")
            server.serve("/patches/p2.rar", ScriptedHttpServer::status("404 Not Found", "missing"));
        if (failure == "archive")
            serveArchive(server, "p2.rar", "<html>an error page</html>");
        server.serve("/l", ScriptedHttpServer::ok(listOf(server, 3).toStdString()));
        subject.replace("{server}", QString::fromStdString(server.url("")));

        Run run(server.url("/l"));
        run.run.run();

        QCOMPARE(told(run.player.notices()),
                 QStringList{told({NoticeKind(kind), subject.toStdString(), reply.toStdString(), {}, code})});
        QStringList seen = targetsRequested(server);
        seen.removeOne(ahead);
        QCOMPARE(seen, requested);
        QCOMPARE(firstArguments(run.finished), QVariantList{false});
        if (failure == "record") {
            QVERIFY(QFileInfo(game.path() + "/Tarvo-Updater/applied4.list").isDir());
            QCOMPARE(game.read("one.txt"), QByteArray("1")); // applied, but not recorded
        } else if (failure == "record too large") {
            QVERIFY(!game.exists("one.txt"));
            QCOMPARE(QFileInfo("Tarvo-Updater/applied4.list").size(), qint64(ProfileFile::Largest + 1));
        } else {
            QCOMPARE(game.read("Tarvo-Updater/applied4.list"), recordOf(1));
        }
        QCOMPARE(game.read("data/two.txt"), QByteArray("old two"));
        QVERIFY(!game.exists("three.txt"));
        QVERIFY(!game.exists("p1.rar") && !game.exists("p2.rar"));
        QCOMPARE(leftovers(game.path()) + leftovers(game.path() + "/data"), QStringList());
        QCOMPARE(namesIn(game.path() + "/Tarvo-Updater/downloads"), QStringList());
    }

    // The next slot's archive arrives while a slot unpacks; the player still sees and hears of
    // the slots in order, and a failed or stopped slot drops the archive fetched ahead.
    void nextArchiveIsFetchedWhileASlotUnpacks_data()
    {
        QTest::addColumn<QString>("p1"); // "stop": the run is stopped as p1's extraction begins
        QTest::addColumn<QVariantList>("started");
        QTest::addColumn<int>("recorded");
        QTest::addColumn<QStringList>("told");
        QTest::addColumn<QVariantList>("finished");
        QTest::newRow("both apply") << "readable" << QVariantList{"p1.rar", "p2.rar"} << 2 << QStringList{}
                                    << QVariantList{true};
        QTest::newRow("unreadable p1 drops p2")
            << "unreadable" << QVariantList{"p1.rar"} << 0
            << QStringList{told({NoticeKind::ArchiveUnreadable, "p1.rar", "", {}, 13})}
            << QVariantList{false};
        QTest::newRow("stop ends the stalled p2")
            << "stop" << QVariantList{"p1.rar"} << 0 << QStringList{} << QVariantList{};
        // On a nearly full disk the slots go one after the other: p1 unpacks first.
        QTest::newRow("little room fetches p2 after p1")
            << "little room" << QVariantList{"p1.rar", "p2.rar"} << 2 << QStringList{} << QVariantList{true};
    }

    void nextArchiveIsFetchedWhileASlotUnpacks()
    {
        QFETCH(QString, p1);
        QFETCH(QVariantList, started);
        QFETCH(int, recorded);
        QFETCH(QStringList, told);
        QFETCH(QVariantList, finished);
        GameFolder game;
        const QByteArray mountPoint = QFile::encodeName(game.path());
        if (p1 == "little room") {
            if (::geteuid() != 0 || ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=16m") != 0)
                QSKIP("mounting a small file system needs root");
            QDir::setCurrent(game.path()); // into the mounted folder
        }
        const auto unmount = qScopeGuard([&] {
            if (p1 == "little room" && QDir::setCurrent("/"))
                ::umount2(mountPoint.constData(), MNT_DETACH);
        });
        game.write("Tarvo-Updater/applied4.list", recordOf(0));
        ScriptedHttpServer server;
        serveArchive(server, "p1.rar",
                     p1 == "unreadable" ? QByteArray("<html>an error page</html>")
                                        : archiveOf({{"one.txt", "1"}}));
        if (p1 == "stop") // headers and 20 kB of a 1 MB body, then nothing more
            server.serve("/patches/p2.rar",
                         {"HTTP/1.1 200 OK\r\nContent-Length: 1048576\r\n\r\n" + std::string(20480, 'x'),
                          ScriptedHttpServer::Ending::Hang});
        else
            serveArchive(server, "p2.rar", archiveOf({{"two.txt", "2"}}));
        server.serve("/l", ScriptedHttpServer::ok(listOf(server, 2).toStdString()));
        const QString downloads = game.path() + "/Tarvo-Updater/downloads";

        Run run(server.url("/l"));
        bool fetchedAhead = false;
        int unpacking = 0;
        // Holds p1's extraction until p2 has been asked for: a run that fetches one slot after the
        // other never gets there.
        QObject::connect(&run.run, &UpdateRun::unpackingStarted, [&] {
            if (++unpacking > 1 || p1 == "little room")
                return;
            fetchedAhead = server.waitForRequest("/patches/p2.rar");
            if (p1 == "stop")
                run.run.stop();
        });
        run.run.run();

        QCOMPARE(fetchedAhead, p1 != "little room");
        // Fetched ahead, p2 comes over a connection of its own; in turn, over the run's one.
        QCOMPARE(server.connectionCount(), p1 == "little room" ? 1 : 2);
        QCOMPARE(firstArguments(run.patchStarted), started);
        QCOMPARE(run.unpackingStarted.count(), started.size());
        QCOMPARE(::told(run.player.notices()), told);
        QCOMPARE(firstArguments(run.finished), finished);
        QCOMPARE(game.read("Tarvo-Updater/applied4.list"), recordOf(recorded));
        QCOMPARE(game.exists("two.txt"), recorded == 2);
        QCOMPARE(namesIn(downloads), QStringList());
    }

    void archiveNamedLikeAGameFileLeavesItAlone()
    {
        GameFolder game;
        game.write("GRIMVALE.EXE", "the game client");
        game.write("Tarvo-Updater/applied4.list", recordOf(0));
        ScriptedHttpServer server;
        serveArchive(server, "Grimvale.exe", archiveOf({{"readme.txt", "read me"}}));
        server.serve("/l", ScriptedHttpServer::ok(
                               "[Updates]\r\nUpdate_1=" + server.url("/patches/Grimvale.exe") + "\r\n"));

        Run run(server.url("/l"));
        run.run.run();

        QCOMPARE(firstArguments(run.finished), QVariantList{true});
        QCOMPARE(game.read("GRIMVALE.EXE"), QByteArray("the game client"));
        QCOMPARE(game.read("readme.txt"), QByteArray("read me"));
        QCOMPARE(namesIn(game.path()), QStringList({"GRIMVALE.EXE", "Tarvo-Updater", "readme.txt"}));
        QCOMPARE(namesIn(game.path() + "/Tarvo-Updater/downloads"), QStringList());
        QCOMPARE(game.read("Tarvo-Updater/applied4.list"),
                 QByteArray("[Updates]\r\nUpdate_1=Grimvale.exe\r\n"));
    }

    // An archive its own address cannot give is asked from each mirror in turn, at the mirror's base
    // plus the address's path; the player hears of the own address only when no mirror has it. Each
    // game folder asks the mirrors in the order of its own seed, kept in its downloads folder.
    void mirrorsStandInForTheOrigin_data()
    {
        QTest::addColumn<bool>("mirrorHasIt"); // the second mirror; the first answers 404
        // Once a slot whose every address was dead has run this long, no further mirror is asked.
        QTest::addColumn<int>("deadSlotBudgetMs");
        QTest::addColumn<QByteArray>("seed"); // 1 keeps the mirrors as configured, 2 turns them round
        QTest::addColumn<QStringList>("asked");
        const QStringList both{"first", "second"};
        QTest::newRow("dead origin, live second mirror") << true << 120000 << QByteArray("1") << both;
        QTest::newRow("this folder's order asks the second first")
            << true << 120000 << QByteArray("2") << QStringList{"second"};
        QTest::newRow("no mirror has it") << false << 120000 << QByteArray("2") << both;
        QTest::newRow("dead addresses past the budget") << true << 0 << QByteArray("1") << QStringList();
    }

    void mirrorsStandInForTheOrigin()
    {
        QFETCH(bool, mirrorHasIt);
        QFETCH(int, deadSlotBudgetMs);
        QFETCH(QByteArray, seed);
        QFETCH(QStringList, asked);
        const RetryTiming saved = retryTimingInUse();
        const auto restore = qScopeGuard([saved] { setRetryTimingForTest(saved); });
        RetryTiming timing = saved;
        timing.deadSlotBudget = std::chrono::milliseconds(deadSlotBudgetMs);
        setRetryTimingForTest(timing);
        mirrorHasIt = mirrorHasIt && !asked.isEmpty();
        GameFolder game;
        game.write("Tarvo-Updater/applied4.list", recordOf(0));
        game.write("Tarvo-Updater/downloads/mirror-order.seed", seed);
        ScriptedHttpServer lists, first, second;
        if (mirrorHasIt)
            serveArchive(second, "p1.rar", archiveOf({{"one.txt", "1"}}));
        const std::string origin =
            "http://127.0.0.1:" + std::to_string(ScriptedHttpServer::unusedPort()) + "/patches/p1.rar";
        lists.serve("/l", ScriptedHttpServer::ok("[Updates]\r\nUpdate_1=" + origin + "\r\n"));

        Run run(lists.url("/l"), {first.url("/x"), second.url("/")});
        run.run.run();

        QCOMPARE(firstArguments(run.finished), QVariantList{mirrorHasIt});
        QCOMPARE(targetsRequested(first), QStringList(asked.contains("first") ? 1 : 0, "/x/patches/p1.rar"));
        QCOMPARE(targetsRequested(second), QStringList(asked.contains("second") ? 1 : 0, "/patches/p1.rar"));
        QCOMPARE(game.exists("one.txt"), mirrorHasIt);
        QCOMPARE(game.read("Tarvo-Updater/applied4.list").contains("Update_1=p1.rar"), mirrorHasIt);
        QCOMPARE(told(run.player.notices()),
                 mirrorHasIt
                     ? QStringList{}
                     : QStringList{told({NoticeKind::PatchUnavailable, origin, "connection refused", {}})});
    }

    // A slot with a pinned torrent comes from other players while the player shares; when its
    // torrent cannot serve, the slot goes on over HTTP as it would without sharing.
    void sharedSlotFallsBackToHttp_data()
    {
        QTest::addColumn<QString>("torrent"); // what is served at the archive's address + ".torrent"
        QTest::addColumn<bool>("sharing");
        QTest::addColumn<QStringList>("archiveRequests"); // plain GETs of the archive over HTTP
        QTest::newRow("from players") << "pinned" << true << QStringList{};
        QTest::newRow("torrent missing") << "none" << true << QStringList{"/patches/p1.rar"};
        QTest::newRow("torrent tampered") << "tampered" << true << QStringList{"/patches/p1.rar"};
        QTest::newRow("torrent of another file") << "other file" << true << QStringList{"/patches/p1.rar"};
        QTest::newRow("sharing off") << "pinned" << false << QStringList{"/patches/p1.rar"};
    }

    void sharedSlotFallsBackToHttp()
    {
        QFETCH(QString, torrent);
        QFETCH(bool, sharing);
        QFETCH(QStringList, archiveRequests);
        GameFolder game;
        game.write("Tarvo-Updater/applied4.list", recordOf(0));
        ScriptedHttpServer server;
        const QByteArray archive = archiveOf({{"one.txt", "1"}});
        serveArchive(server, "p1.rar", archive);
        const std::string address = server.url("/patches/p1.rar");
        const std::string fileName = downloadFileName(address);
        // The other player's copy, and a torrent whose web seed has nothing: bytes from players only.
        const QString copy = m_fixtures.filePath("copy-p1.rar");
        writeFileOrDie(copy, archive);
        const QString other = m_fixtures.filePath("other.rar");
        writeFileOrDie(other, archive + "more");
        std::string made = makeTorrent({copy.toStdString(), fileName, {server.url("/nothing")}, {}});
        LoopbackTracker tracker({infoHashOf(made)});
        made = makeTorrent({copy.toStdString(), fileName, {server.url("/nothing")}, {tracker.announceUrl()}});
        const std::string pin = sha256Hex(made);
        const SeedingPlayer player(made, copy.toStdString());
        if (torrent == "tampered")
            made += " ";
        if (torrent == "other file")
            made = makeTorrent({other.toStdString(), fileName, {}, {tracker.announceUrl()}});
        if (torrent != "none")
            server.serve("/patches/p1.rar.torrent", ScriptedHttpServer::ok(made));
        server.serve(
            "/l", ScriptedHttpServer::ok(
                      (listOf(server, 1) + "[Integrity]\r\nUpdate_1=" + QByteArray::number(archive.size()) +
                       " " + QByteArray::fromStdString(sha256Hex(archive.toStdString())) +
                       "\r\n[Torrents]\r\nUpdate_1=" + QByteArray::fromStdString(pin) + "\r\n")
                          .toStdString()));

        Run run(server.url("/l"));
        SharingOptions options;
        options.listenAddress = "127.0.0.1";
        if (sharing)
            run.run.setSharing(std::make_shared<PatchSharing>(options, sharingFolder()));
        run.run.run();

        QCOMPARE(firstArguments(run.finished), QVariantList{true});
        QCOMPARE(game.read("one.txt"), QByteArray("1"));
        QCOMPARE(targetsRequested(server).filter("/patches/p1.rar").filter(QRegularExpression("rar$")),
                 archiveRequests);
        QCOMPARE(targetsRequested(server).contains("/patches/p1.rar.torrent"), sharing);
        QCOMPARE(run.player.notices().size(), 0);
    }

    void leftoversAreRemovedBeforeTheRun_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("link"); // a symbolic link to a file outside the game folder
        QTest::addColumn<bool>("kept"); // the file is there after the run; a link's target always is
        QTest::newRow("download") << ".updater-download-abc123" << false << false;
        QTest::newRow("extraction in a sub-folder") << "sub/.updater-unrar-XyZ987" << false << false;
        QTest::newRow("atomic write") << "Tarvo-Updater/.updater-Qq1234" << false << false;
        QTest::newRow("downloaded archive")
            << "Tarvo-Updater/downloads/patch-0123456789abcdef.rar" << false << false;
        QTest::newRow("part of a download no pending slot names")
            << "Tarvo-Updater/downloads/patch-0123456789abcdef.rar.part" << false << false;
        QTest::newRow("a player's file of another pattern") << ".updater-notes.txt" << false << true;
        QTest::newRow("a player's file away from the launcher's own")
            << "maps/.updater-backup" << false << true;
        QTest::newRow("another archive in the downloads folder")
            << "Tarvo-Updater/downloads/keep.rar" << false << true;
        QTest::newRow("link named like a leftover") << ".updater-Lnk123" << true << true;
    }

    void leftoversAreRemovedBeforeTheRun()
    {
        QFETCH(QString, path);
        QFETCH(bool, link);
        QFETCH(bool, kept);
        QTemporaryDir outside;
        GameFolder game;
        game.write("Tarvo-Updater/applied4.list", recordOf(0));
        if (link) {
            writeFileOrDie(outside.filePath("target"), "outside");
            QVERIFY(QFile::link(outside.filePath("target"), game.path() + "/" + path));
        } else {
            game.write(path, "left over");
        }
        ScriptedHttpServer server;
        server.serve("/l", ScriptedHttpServer::ok("[Updates]\r\n"));

        Run run(server.url("/l"));
        run.run.run();

        if (link) // the link itself may go
            QCOMPARE(bytesOf(outside.filePath("target")), QByteArray("outside"));
        else
            QCOMPARE(game.exists(path), kept);
    }

    // A repair mends an applied slot: what a killed or cut repair fetched serves the next one too.
    void laterRunResumesACutDownload_data()
    {
        QTest::addColumn<bool>("repair");
        QTest::newRow("update") << false;
        QTest::newRow("repair of a damaged file") << true;
    }

    void laterRunResumesACutDownload()
    {
        QFETCH(bool, repair);
        GameFolder game;
        game.write("Tarvo-Updater/applied4.list", recordOf(0));
        ScriptedHttpServer server;
        const std::string archive = archiveOf({{"one.txt", "1"}}).toStdString();
        const size_t half = archive.size() / 2;
        const auto runTask = [repair](Run& run) { repair ? run.run.repair() : run.run.run(); };
        server.serve("/l", ScriptedHttpServer::ok(listOf(server, 1).toStdString()));
        if (repair) {
            server.serve("/patches/p1.rar", ScriptedHttpServer::ok(archive));
            Run applied(server.url("/l"));
            applied.run.run();
            QCOMPARE(firstArguments(applied.finished), QVariantList{true});
            game.write("one.txt", "damaged");
        }
        const std::string header =
            "HTTP/1.1 200 OK\r\nETag: \"a\"\r\nContent-Length: " + std::to_string(archive.size()) +
            "\r\n\r\n";
        server.serveSequence("/patches/p1.rar",
                             {{header + archive.substr(0, half), ScriptedHttpServer::Ending::Close},
                              ScriptedHttpServer::status("502 Bad Gateway")});
        const QString part = "Tarvo-Updater/downloads/" +
                             QString::fromStdString(downloadFileName(server.url("/patches/p1.rar"))) +
                             ".part";
        {
            Run first(server.url("/l"));
            runTask(first);
            QCOMPARE(firstArguments(first.finished), QVariantList{false});
        }
        QCOMPARE(game.read(part), QByteArray::fromStdString(archive.substr(0, half)));

        server.serve("/patches/p1.rar",
                     ScriptedHttpServer::status("206 Partial Content", archive.substr(half),
                                                "Content-Range: bytes " + std::to_string(half) + "-" +
                                                    std::to_string(archive.size() - 1) + "/" +
                                                    std::to_string(archive.size()) + "\r\n"));
        Run later(server.url("/l"));
        runTask(later);

        QCOMPARE(firstArguments(later.finished), QVariantList{true});
        QVERIFY(server.requests().back().find("Range: bytes=" + std::to_string(half) +
                                              "-\r\nIf-Range: \"a\"\r\n") != std::string::npos);
        QCOMPARE(game.read("one.txt"), QByteArray("1"));
        QCOMPARE(namesIn(game.path() + "/Tarvo-Updater/downloads"), QStringList());
    }

    // A run stopped once its archive arrived whole leaves it for the next run, which checks it
    // against the list's integrity line again and downloads it only when it no longer matches.
    void laterRunUsesTheArchiveAStoppedRunHadWhole_data()
    {
        QTest::addColumn<bool>("replacedOnTheServer");
        QTest::newRow("same archive: not downloaded again") << false;
        QTest::newRow("replaced on the server: downloaded again") << true;
    }
    void laterRunUsesTheArchiveAStoppedRunHadWhole()
    {
        QFETCH(bool, replacedOnTheServer);
        GameFolder game;
        game.write("Tarvo-Updater/applied4.list", recordOf(0));
        ScriptedHttpServer server;
        const auto publish = [&](const QByteArray& archive) {
            serveArchive(server, "p1.rar", archive);
            const QByteArray line = QByteArray::number(archive.size()) + " " +
                                    QByteArray::fromStdString(sha256Hex(archive.toStdString()));
            server.serve("/l",
                         ScriptedHttpServer::ok(
                             (listOf(server, 1) + "[Integrity]\r\nUpdate_1=" + line + "\r\n").toStdString()));
        };
        publish(archiveOf({{"one.txt", "1"}}));
        {
            Run stopped(server.url("/l"));
            QObject::connect(&stopped.run, &UpdateRun::unpackingStarted, [&] { stopped.run.stop(); });
            stopped.run.run();
            QCOMPARE(stopped.finished.count(), 0);
        }
        QCOMPARE(namesIn(game.path() + "/Tarvo-Updater/downloads"),
                 QStringList{QString::fromStdString(downloadFileName(server.url("/patches/p1.rar")))});

        if (replacedOnTheServer)
            publish(archiveOf({{"one.txt", "new 1"}}));
        const size_t before = server.requests().size();
        Run later(server.url("/l"));
        later.run.run();

        QCOMPARE(firstArguments(later.finished), QVariantList{true});
        QCOMPARE(targetsRequested(server).mid(int(before)),
                 replacedOnTheServer ? QStringList({"/l", "/patches/p1.rar"}) : QStringList{"/l"});
        QCOMPARE(game.read("one.txt"), replacedOnTheServer ? QByteArray("new 1") : QByteArray("1"));
        QCOMPARE(namesIn(game.path() + "/Tarvo-Updater/downloads"), QStringList());
    }

    void runsOnAThreadOfItsOwn()
    {
        resetUnpackedFileCountForTest();
        GameFolder game;
        QDir().mkdir("Tarvo-Updater");
        ScriptedHttpServer server;
        QByteArray big(3 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < big.size(); ++i)
            big[i] = char((i * 2654435761u) >> 13);
        serveArchive(server, "p1.rar", archiveOf({{"a.bin", big}, {"b.txt", "b"}, {"c/d.txt", "d"}}));
        server.serve("/l", ScriptedHttpServer::ok(listOf(server, 1).toStdString()));

        Run run(server.url("/l"));
        QThread* thread = QThread::create([&] { run.run.run(); });
        thread->start();
        QVERIFY(thread->wait(60000));
        delete thread;

        QCOMPARE(firstArguments(run.patchStarted), QVariantList{"p1.rar"});
        QCOMPARE(run.unpackingStarted.count(), 1);
        QCOMPARE(firstArguments(run.finished), QVariantList{true});
        QCOMPARE(game.read("a.bin"), big);
        QCOMPARE(game.read("c/d.txt"), QByteArray("d"));
        QCOMPARE(unpackedFileCount(), 3);
        QCOMPARE(run.run.progress().takeCaption(), (TransferCaption{TransferCaption::Kind::Unpacked, {}, 3}));
        QCOMPARE(run.run.progress().takePicture().gauge.bar, 100);
        QCOMPARE(game.read("Tarvo-Updater/applied4.list"), recordOf(1));
    }

    void stopEndsAStalledDownloadAtOnce_data()
    {
        // 2: p1 applies and p2, fetched ahead, stalls; its progress is on display once p1 is done.
        QTest::addColumn<int>("slotCount");
        QTest::newRow("first slot") << 1;
        QTest::newRow("slot fetched ahead") << 2;
    }

    void stopEndsAStalledDownloadAtOnce()
    {
        QFETCH(int, slotCount);
        GameFolder game;
        QDir().mkdir("Tarvo-Updater");
        ScriptedHttpServer server;
        if (slotCount == 2)
            serveArchive(server, "p1.rar", archiveOf({{"one.txt", "1"}}));
        // Headers and 20 kB of a 1 MB body, then nothing more.
        server.serve("/patches/p" + std::to_string(slotCount) + ".rar",
                     {"HTTP/1.1 200 OK\r\nContent-Length: 1048576\r\n\r\n" + std::string(20480, 'x'),
                      ScriptedHttpServer::Ending::Hang});
        server.serve("/l", ScriptedHttpServer::ok(listOf(server, slotCount).toStdString()));

        Run run(server.url("/l"));
        QThread* thread = QThread::create([&] { run.run.run(); });
        thread->start();
        QTRY_COMPARE_WITH_TIMEOUT(run.run.progress().takePicture().gauge.receivedKilobytes, 20LL, 20000);

        // The server holds the transfer for the stall limit: a run that ignored the stop would end
        // with a failure, not quietly.
        run.run.stop();
        thread->wait();
        delete thread;
        QCOMPARE(run.finished.count(), 0);
        QCOMPARE(run.patchStarted.count(), slotCount);
        QVERIFY(run.player.notices().isEmpty());
        if (slotCount == 1)
            QVERIFY(!game.exists("Tarvo-Updater/applied4.list"));
        else
            QCOMPARE(game.read("Tarvo-Updater/applied4.list"), recordOf(1));
        QVERIFY(!game.exists("p1.rar"));
        QCOMPARE(leftovers(game.path()), QStringList());
    }
};

QTEST_MAIN(UpdateRunTest)
#include "tst_updaterun.moc"
