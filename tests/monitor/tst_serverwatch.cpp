// The watch of one server, run on a thread of the test's own as the window runs it and observed
// through its signals: probe order and results, echo records, twins, the end of a watch, the
// measurement where ICMP is refused, the notice of a host that does not resolve, and stop().

#include "monitor/ServerWatch.h"
#include "support/LoopbackListener.h"
#include "support/PrivateNetwork.h"
#include "support/RecordingPlayer.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSupport.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <grp.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace updater;
using namespace updater::test;

namespace {

const WatchTimings ShortTimings{20, 300};

// Inside the private network 10.77.0.0/16 leads into loopback, where nothing answers an echo.
const QString SilentNetworkSetup = "ip link set lo up && ip route add 10.77.0.0/16 dev lo";
const char* const SilentHost = "10.77.0.1";

// Outside the private network: runs the current test (row) again inside it and ends with its result.
#define RUN_INSIDE_PRIVATE_NETWORK()                                                                         \
    if (!insidePrivateNetwork()) {                                                                           \
        QString function = QTest::currentTestFunction();                                                     \
        if (QTest::currentDataTag())                                                                         \
            function += QString(":") + QTest::currentDataTag();                                              \
        QByteArray output;                                                                                   \
        const int code = runInPrivateNetwork(function, SilentNetworkSetup, &output);                         \
        if (code == 77 || (code == 0 && output.contains("\nSKIP")))                                          \
            QSKIP("This machine allows no private network namespace (unshare -n and ip are needed).");       \
        QVERIFY2(code == 0, output.constData());                                                             \
        return;                                                                                              \
    }

// A loopback listener that takes and drops every connection, so that any number of probes fit.
class OpenPort : public QTcpServer
{
public:
    OpenPort()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection())
                socket->deleteLater();
        });
    }
};

int closedPort()
{
    return ScriptedHttpServer::unusedPort();
}

ServerEntry entry(const std::string& host, int account, int charPort, int map, bool resolveHost = false)
{
    ServerEntry e;
    e.resolveHost = resolveHost;
    e.ipResolve = host;
    e.account = account;
    e.charPort = charPort;
    e.map = map;
    return e;
}

QString stepName(ProbeStep step)
{
    return QStringList{"account", "char", "map"}.at(static_cast<int>(step));
}

// The lines one whole cycle writes to WatchedServer::events.
QStringList cycle(const QStringList& probeResults, const QString& echo)
{
    QStringList lines;
    for (int i = 0; i < 3; ++i)
        lines << stepName(static_cast<ProbeStep>(i)) + " busy" << probeResults[i];
    for (int i = 0; i < ServerWatch::EchoesPerCycle; ++i)
        lines << echo;
    return lines;
}

// A watch on a thread of its own, as the window runs it. Its signals arrive on the test's thread
// and become lines of `events`, in order: "map busy", "map on", "char off", "echo from 127.0.0.1",
// "no echo", "ended".
class WatchedServer : public QObject
{
public:
    explicit WatchedServer(const ServerEntry& entry, WatchTimings timings = ShortTimings)
        : watch(entry, player, timings)
    {
        watch.moveToThread(&m_thread);
        connect(&m_thread, &QThread::started, &watch, &ServerWatch::run);
        connect(&watch, &ServerWatch::probing, this,
                [this](ProbeStep step) { events << stepName(step) + " busy"; });
        connect(&watch, &ServerWatch::probed, this, [this](ProbeStep step, bool accepted) {
            events << stepName(step) + (accepted ? " on" : " off");
        });
        connect(&watch, &ServerWatch::pingAnswered, this, [this](const ReplyStatus& reply) {
            events << (reply.receivedBytes != 0 ? "echo from " + QString::fromStdString(reply.sourceAddress)
                                                : QString("no echo"));
        });
        connect(&watch, &ServerWatch::ended, this, [this] { events << "ended"; });
    }
    ~WatchedServer() override { finish(60000); }

    void start() { m_thread.start(); }
    // Stops the watch and waits for its thread; false when it did not end in time.
    bool finish(int withinMs)
    {
        watch.stop();
        m_thread.quit();
        const bool ended = m_thread.wait(withinMs);
        QCoreApplication::sendPostedEvents(this);
        return ended;
    }
    // Adds a line from any thread, in order with the signals sent from that thread.
    void note(const QString& line)
    {
        QMetaObject::invokeMethod(
            this, [this, line] { events << line; }, Qt::QueuedConnection);
    }

    RecordingPlayer player;
    ServerWatch watch;
    QStringList events;

private:
    QThread m_thread;
};

// Gives this process a hosts file of its own; false when the machine does not allow it.
bool useHostsFile(const QString& path)
{
    return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount(path.toLocal8Bit().constData(), "/etc/hosts", nullptr, MS_BIND, nullptr) == 0;
}

} // namespace

class TestServerWatch : public QObject
{
    Q_OBJECT
private slots:
    void probesInOrderThenEchoes_data();
    void probesInOrderThenEchoes();
    void portThatGoesAwayAndComesBack();
    void silentPortHoldsOnlyItsOwnWatch();
    void twinsKeepTheirOwnEchoes();
    void echoErrorEndsTheWatch();
    void refusedEchoTimesTheMapConnection_data();
    void refusedEchoTimesTheMapConnection();
    void unresolvedHostIsToldEveryCycleAndTheLastAddressKept();
    void stopEndsAWait_data();
    void stopEndsAWait();
};

void TestServerWatch::probesInOrderThenEchoes_data()
{
    QTest::addColumn<QStringList>("ports"); // account, char, map: "open", "closed" or a number
    QTest::addColumn<QStringList>("results");
    QTest::newRow("all open") << QStringList{"open", "open", "open"}
                              << QStringList{"account on", "char on", "map on"};
    QTest::newRow("map only") << QStringList{"closed", "closed", "open"}
                              << QStringList{"account off", "char off", "map on"};
    QTest::newRow("ports out of range")
        << QStringList{"0", "-1", "70000"} << QStringList{"account off", "char off", "map off"};
}

void TestServerWatch::probesInOrderThenEchoes()
{
    QFETCH(QStringList, ports);
    QFETCH(QStringList, results);
    OpenPort open;
    int number[3];
    for (int i = 0; i < 3; ++i)
        number[i] = ports[i] == "open"     ? open.serverPort()
                    : ports[i] == "closed" ? closedPort()
                                           : ports[i].toInt();
    WatchedServer server(entry("127.0.0.1", number[0], number[1], number[2]));
    server.start();

    const QStringList first = cycle(results, "echo from 127.0.0.1");
    QTRY_VERIFY_WITH_TIMEOUT(server.events.size() > first.size(), 20000);
    QCOMPARE(server.events.mid(0, first.size()), first);
    QCOMPARE(server.events.at(first.size()), QString("account busy")); // the next cycle
    QVERIFY(server.finish(5000));
    QVERIFY(server.player.notices().isEmpty());
}

void TestServerWatch::portThatGoesAwayAndComesBack()
{
    OpenPort map;
    const quint16 mapPort = map.serverPort();
    WatchedServer server(entry("127.0.0.1", closedPort(), closedPort(), mapPort));
    server.start();

    QTRY_VERIFY_WITH_TIMEOUT(server.events.contains("map on"), 20000);
    map.close();
    const qsizetype closed = server.events.size();
    QTRY_VERIFY_WITH_TIMEOUT(server.events.indexOf("map off", closed) >= 0, 20000);
    QVERIFY(map.listen(QHostAddress::LocalHost, mapPort));
    const qsizetype reopened = server.events.size();
    QTRY_VERIFY_WITH_TIMEOUT(server.events.indexOf("map on", reopened) >= 0, 20000);
    QVERIFY(server.finish(5000));
}

void TestServerWatch::silentPortHoldsOnlyItsOwnWatch()
{
    LoopbackListener silent(LoopbackListener::Silent);
    OpenPort open;
    WatchedServer held(entry("127.0.0.1", open.serverPort(), open.serverPort(), silent.port()));
    WatchedServer twin(entry("127.0.0.1", open.serverPort(), closedPort(), open.serverPort()));
    held.start();
    twin.start();

    // While one watch waits in its map probe, its twin goes through cycle after cycle.
    QTRY_VERIFY_WITH_TIMEOUT(twin.events.count("account busy") >= 3, 20000);
    QCOMPARE(held.events, QStringList({"account busy", "account on", "char busy", "char on", "map busy"}));
    QCOMPARE(twin.events.mid(0, 6),
             QStringList({"account busy", "account on", "char busy", "char off", "map busy", "map on"}));

    // Once the port refuses, the held probe ends as refused and the watch goes on.
    silent.close();
    QTRY_VERIFY_WITH_TIMEOUT(held.events.size() > 6, 30000);
    QCOMPARE(held.events.at(5), QString("map off"));
    QCOMPARE(held.events.at(6), QString("echo from 127.0.0.1"));
    QVERIFY(held.finish(5000));
    QVERIFY(twin.finish(5000));
}

void TestServerWatch::twinsKeepTheirOwnEchoes()
{
    RUN_INSIDE_PRIVATE_NETWORK();
    OpenPort open;
    WatchedServer answered(entry("127.0.0.1", open.serverPort(), open.serverPort(), open.serverPort()));
    WatchedServer silent(entry(SilentHost, 0, -1, 70000));
    answered.start();
    silent.start();

    // A whole cycle of time-outs on one side, answers all along on the other: neither watch takes
    // the other's answer for its own.
    QTRY_VERIFY_WITH_TIMEOUT(silent.events.size() > 17, 20000);
    QVERIFY(silent.finish(5000));
    QVERIFY(answered.finish(5000));
    QCOMPARE(silent.events.mid(0, 16), cycle({"account off", "char off", "map off"}, "no echo"));
    QVERIFY(answered.events.count("echo from 127.0.0.1") > ServerWatch::EchoesPerCycle);
    QCOMPARE(answered.events.count("no echo"), 0);
}

void TestServerWatch::echoErrorEndsTheWatch()
{
    // The configuration's marker text is no host: every probe is refused and the first echo fails.
    WatchedServer server(entry(MarkerText, 6900, 6121, 5121));
    server.start();
    QTRY_VERIFY_WITH_TIMEOUT(server.events.contains("ended"), 20000);
    QCOMPARE(server.events, QStringList({"account busy", "account off", "char busy", "char off", "map busy",
                                         "map off", "ended"}));
    QVERIFY(server.finish(5000));
}

void TestServerWatch::refusedEchoTimesTheMapConnection_data()
{
    QTest::addColumn<bool>("mapOpen");
    QTest::addColumn<QString>("measurement");
    QTest::newRow("open map port") << true << "echo from 127.0.0.1";
    QTest::newRow("closed map port") << false << "no echo";
}

void TestServerWatch::refusedEchoTimesTheMapConnection()
{
    QFETCH(bool, mapOpen);
    QFETCH(QString, measurement);
    RUN_INSIDE_PRIVATE_NETWORK();
    // A new network namespace keeps the default ping range "1 0": as nobody, no ICMP socket opens.
    const uid_t nobody = 65534;
    QVERIFY(::setgroups(0, nullptr) == 0 && ::setresgid(nobody, nobody, nobody) == 0 &&
            ::setresuid(nobody, nobody, nobody) == 0);
    OpenPort map;
    WatchedServer server(
        entry("127.0.0.1", closedPort(), closedPort(), mapOpen ? map.serverPort() : closedPort()));
    server.start();

    // Ten measurements against the map port, then the next cycle's probes.
    const QStringList first = cycle({"account off", "char off", mapOpen ? "map on" : "map off"}, measurement);
    QTRY_VERIFY_WITH_TIMEOUT(server.events.size() >= first.size() + 6, 20000);
    QCOMPARE(server.events.mid(0, first.size() + 6), first + first.mid(0, 6));
    QVERIFY(server.finish(5000));
}

void TestServerWatch::unresolvedHostIsToldEveryCycleAndTheLastAddressKept()
{
    RUN_INSIDE_PRIVATE_NETWORK();
    QTemporaryDir dir;
    const QString hostsPath = dir.filePath("hosts");
    const auto writeHosts = [&hostsPath](const QByteArray& lines) {
        writeFileOrDie(hostsPath, "127.0.0.1 localhost\n" + lines);
    };
    writeHosts({});
    if (!useHostsFile(hostsPath))
        QSKIP(
            "This machine does not let the test use a hosts file of its own (a mount namespace is needed).");

    OpenPort account;
    WatchedServer server(entry("watched.test", account.serverPort(), closedPort(), closedPort(), true));
    // The name appears after the first notice and goes again once its address answered a probe;
    // the fourth cycle's notice ends the test.
    int told = 0;
    server.player.onTell = [&](const Notice&) {
        server.note("told");
        if (++told == 1)
            writeHosts("127.0.0.1 watched.test\n");
        if (told == 3)
            server.watch.stop();
    };
    connect(
        &server.watch, &ServerWatch::probed, &server.watch,
        [&](ProbeStep step, bool accepted) {
            if (step == ProbeStep::Account && accepted)
                writeHosts({});
        },
        Qt::DirectConnection);
    server.start();
    QTRY_VERIFY_WITH_TIMEOUT(server.events.contains("ended"), 30000);
    QVERIFY(server.finish(5000));

    // Never resolved: no address at all. Resolved: its address. Gone again: the last address.
    const QStringList expected =
        QStringList{"told"} + cycle({"account off", "char off", "map off"}, "no echo") +
        cycle({"account on", "char off", "map off"}, "echo from 127.0.0.1") + QStringList{"told"} +
        cycle({"account on", "char off", "map off"}, "echo from 127.0.0.1") + QStringList{"told"};
    QCOMPARE(server.events.mid(0, expected.size()), expected);
    QCOMPARE(server.events.last(), QString("ended"));
    const QList<Notice> notices = server.player.notices();
    QCOMPARE(notices.size(), 3);
    for (const Notice& notice : notices) {
        QCOMPARE(notice.kind, NoticeKind::ServerUnresolved);
        QCOMPARE(QString::fromStdString(notice.subject), QString("watched.test"));
    }
}

void TestServerWatch::stopEndsAWait_data()
{
    QTest::addColumn<bool>("silentProbe"); // else an echo that is never answered
    QTest::newRow("silent probe") << true;
    QTest::newRow("pending echo") << false;
}

void TestServerWatch::stopEndsAWait()
{
    QFETCH(bool, silentProbe);
    if (!silentProbe)
        RUN_INSIDE_PRIVATE_NETWORK();
    LoopbackListener silent(LoopbackListener::Silent);
    WatchedServer server(silentProbe ? entry("127.0.0.1", silent.port(), closedPort(), closedPort())
                                     : entry(SilentHost, 0, -1, 70000),
                         {20, 60000});
    server.start();
    const QString waitingAfter = silentProbe ? "account busy" : "map off";
    QTRY_VERIFY_WITH_TIMEOUT(server.events.contains(waitingAfter), 20000);
    QCOMPARE(server.events.last(), waitingAfter); // still waiting

    // The wait it is in lasts a minute: only the stop ends it before the limit, whatever the load.
    QVERIFY(server.finish(30000));
    QCOMPARE(server.events.last(), QString("ended"));
}

QTEST_MAIN(TestServerWatch)
#include "tst_serverwatch.moc"
