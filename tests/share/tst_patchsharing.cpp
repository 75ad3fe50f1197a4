// A shared download in a loopback swarm: from other players, from web seeds alone, past a tracker
// that is down and a player that sends bad pieces, and how it ends when nothing comes, when the
// run stops and when the player turns sharing off.

#include "platform/StopFlag.h"
#include "share/PatchSharing.h"
#include "support/LoopbackSwarm.h"
#include "support/ManualClock.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSupport.h"
#include "trust/Sha256.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <random>
#include <sys/resource.h>
#include <thread>

using namespace updater;
using namespace updater::test;

Q_DECLARE_METATYPE(updater::SharedOutcome)

namespace {

SharingOptions loopbackOptions()
{
    SharingOptions options;
    options.listenAddress = "127.0.0.1";
    return options;
}

std::string randomBytes(size_t size)
{
    std::mt19937 generator(7);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = char(generator());
    return bytes;
}

} // namespace

class PatchSharingTest : public QObject
{
    Q_OBJECT

private slots:
    void sharedDownloadEnds_data()
    {
        QTest::addColumn<QString>("player");    // another player seeding: none, honest, liar
        QTest::addColumn<bool>("webSeed");      // the origin serves the archive
        QTest::addColumn<QString>("tracker");   // up, down, or refusing the torrent
        QTest::addColumn<QString>("meanwhile"); // once the web seed was asked: stop, turn off
        QTest::addColumn<SharedOutcome>("outcome");
        QTest::addColumn<QString>("from"); // who sent the bytes: players, web seeds

        QTest::newRow("from another player") << "honest" << false << "up"
                                             << "" << SharedOutcome::Complete << "players";
        QTest::newRow("from the web seed alone") << "none" << true << "up"
                                                 << "" << SharedOutcome::Complete << "web seeds";
        QTest::newRow("the tracker is down") << "honest" << true << "down"
                                             << "" << SharedOutcome::Complete << "web seeds";
        QTest::newRow("the web seed is busy at first") << "none" << true << "up"
                                                       << "busy" << SharedOutcome::Complete << "web seeds";
        QTest::newRow("the tracker refuses the torrent") << "honest" << true << "refusing"
                                                         << "" << SharedOutcome::Complete << "web seeds";
        QTest::newRow("a player sends bad pieces") << "liar" << true << "up"
                                                   << "" << SharedOutcome::Complete << "";
        QTest::newRow("nothing comes") << "none" << false << "up"
                                       << "" << SharedOutcome::Stalled << "";
        QTest::newRow("the run stops") << "none" << false << "up"
                                       << "stop" << SharedOutcome::Stopped << "";
        QTest::newRow("sharing turned off") << "none" << false << "up"
                                            << "turn off" << SharedOutcome::TurnedOff << "";
        QTest::newRow("the disk refuses the file") << "none" << true << "up"
                                                   << "file limit" << SharedOutcome::Failed << "";
    }

    void sharedDownloadEnds()
    {
        QFETCH(QString, player);
        QFETCH(bool, webSeed);
        QFETCH(QString, tracker);
        QFETCH(QString, meanwhile);
        QFETCH(SharedOutcome, outcome);
        QFETCH(QString, from);

        QTemporaryDir folder;
        const std::string archive = randomBytes(300 * 1024 + 17);
        const std::string origin = folder.filePath("origin.rar").toStdString();
        writeFileOrDie(QString::fromStdString(origin), QByteArray::fromStdString(archive));
        ScriptedHttpServer server;
        const auto serving = rangeServing({{"/patches/p1.rar", webSeed ? origin : std::string()}});
        // A busy origin turns the first request away.
        std::atomic<int> requests{0};
        server.setHandler([&](const std::string& target, const std::string& request) {
            if (meanwhile == "busy" && requests++ == 0)
                return ScriptedHttpServer::Reply{
                    "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n"};
            return serving(target, request);
        });

        // A tracker that is down: the address of one that was never started.
        const std::string downTracker = LoopbackTracker({}).announceUrl();
        const std::string made = makeTorrent({origin, "patch-1.rar", {server.url("/patches/p1.rar")}, {}});
        LoopbackTracker community(tracker == "refusing" ? std::vector<std::string>{}
                                                        : std::vector{infoHashOf(made)});
        QVERIFY(community.answers());
        const std::string torrent =
            makeTorrent({origin,
                         "patch-1.rar",
                         {server.url("/patches/p1.rar")},
                         {tracker == "down" ? downTracker : community.announceUrl()}});

        // The other player's copy: damaged in every piece for a liar.
        std::string copy = archive;
        if (player == "liar")
            for (size_t at = 100; at < copy.size(); at += 16 * 1024)
                copy[at] = char(~copy[at]);
        const QString copyPath = folder.filePath("copy.rar");
        writeFileOrDie(copyPath, QByteArray::fromStdString(copy));
        std::unique_ptr<SeedingPlayer> other;
        if (player != "none")
            other = std::make_unique<SeedingPlayer>(torrent, copyPath.toStdString(), player == "liar");

        PatchSharing sharing(loopbackOptions(), folder.filePath("shared").toStdString());
        QVERIFY(sharing.listeningPort() != 0);
        ManualClock manual;
        StopFlag stop;
        SharedDownloadWatch watch;
        watch.stop = &stop;
        watch.webSeedRestShortest = watch.webSeedRestLongest = {};
        // Nothing comes: the stall time passes on a clock the test moves.
        if (outcome == SharedOutcome::Stalled)
            watch.clock = &manual;
        std::thread interrupter([&] {
            if (meanwhile != "stop" && meanwhile != "turn off")
                return;
            if (!server.waitForRequest("/patches/p1.rar"))
                return;
            if (meanwhile == "stop")
                stop.request();
            else
                sharing.turnOff();
        });
        CheckedTorrent checked{torrent, "patch-1.rar", archive.size(), infoHashOf(torrent)};
        // Writes past 64 KiB fail (EFBIG) as on a full disk: the download ends with the error.
        const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY}, small{64 * 1024, RLIM_INFINITY};
        if (meanwhile == "file limit") {
            std::signal(SIGXFSZ, SIG_IGN);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        const SharedDownload result = sharing.download(checked, watch);
        setrlimit(RLIMIT_FSIZE, &unlimited);
        interrupter.join();

        QCOMPARE(result.outcome, outcome);
        if (outcome != SharedOutcome::Complete)
            return;
        QCOMPARE(digestFile(result.path)->sha256, sha256Hex(archive));
        const uint64_t whole = archive.size();
        if (from == "players")
            QCOMPARE(result.bytes.fromPlayers, whole);
        if (from == "web seeds")
            QCOMPARE(result.bytes.fromWebSeeds, whole);
        QVERIFY(result.bytes.fromPlayers + result.bytes.fromWebSeeds >= whole);
    }

    // The player's upload limit, else a quarter of what the player downloads, never below the
    // floor that keeps seeding useful.
    void uploadLimitFollowsThePlayer_data()
    {
        QTest::addColumn<int>("playerLimit"); // kB/s; -1: none set
        QTest::addColumn<int>("downloadLimit");
        QTest::addColumn<qint64>("fastestDownload");
        QTest::addColumn<qint64>("upload");
        QTest::newRow("the player's") << 100 << 800 << qint64(8 << 20) << qint64(100 * 1024);
        QTest::newRow("no limit, the player's") << 0 << 800 << qint64(8 << 20) << qint64(0);
        QTest::newRow("of the download limit") << -1 << 800 << qint64(8 << 20) << qint64(200 * 1024);
        QTest::newRow("of the fastest download") << -1 << 0 << qint64(8 << 20) << qint64(2 << 20);
        QTest::newRow("the floor") << -1 << 0 << qint64(1000) << qint64(SmallestDefaultUpload);
    }

    void uploadLimitFollowsThePlayer()
    {
        QFETCH(int, playerLimit);
        QFETCH(int, downloadLimit);
        QFETCH(qint64, fastestDownload);
        SharingOptions options;
        if (playerLimit >= 0)
            options.uploadKilobytesPerSecond = uint32_t(playerLimit);
        options.downloadKilobytesPerSecond = uint32_t(downloadLimit);
        QTEST(qint64(uploadLimit(options, fastestDownload)), "upload");
    }

    // Two launchers of the same player, on two game folders, each reachable on its own port.
    void eachLauncherListensOnAPortOfItsOwn()
    {
        QTemporaryDir folder;
        PatchSharing first(loopbackOptions(), folder.filePath("a").toStdString());
        PatchSharing second(loopbackOptions(), folder.filePath("b").toStdString());
        QVERIFY(first.listeningPort() != 0);
        QVERIFY(second.listeningPort() != 0);
        QVERIFY(first.listeningPort() != second.listeningPort());
    }
};

QTEST_GUILESS_MAIN(PatchSharingTest)
#include "tst_patchsharing.moc"
