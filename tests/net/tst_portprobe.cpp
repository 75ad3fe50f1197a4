#include "net/NetErrors.h"
#include "net/PortProbe.h"
#include "support/LoopbackListener.h"
#include "support/StopLater.h"

#include <QTest>
#include <QThread>

#include <atomic>
#include <future>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace updater;
using updater::test::LoopbackListener;

namespace {

// Reads until end of stream; returns the number of bytes received, -1 if the peer kept it open.
int bytesUntilEndOfStream(int fd)
{
    int total = 0;
    char buffer[256];
    while (true) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 5000) != 1)
            return -1;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return total;
        total += int(n);
    }
}

} // namespace

class TestPortProbe : public QObject
{
    Q_OBJECT
private slots:
    void openPortConnectsAndClosesWithoutAByte();
    void closedPortRaisesAndReleasesTheSocket();
    void connectWhileConnectedRaisesWithoutTraffic();
    void invalidPortsAndHostsRaise_data();
    void invalidPortsAndHostsRaise();
    void silentPortHoldsTheProbeUntilRefused();
    void stopEndsAConnectStillWaiting();
};

void TestPortProbe::openPortConnectsAndClosesWithoutAByte()
{
    LoopbackListener listener;
    PortProbeClient client;
    int calls = 0;
    QThread* handlerThread = nullptr;
    bool connectedInHandler = false;
    client.setOnConnected([&](PortProbeClient& sender) {
        ++calls;
        handlerThread = QThread::currentThread();
        connectedInHandler = sender.connected();
        sender.disconnect();
    });
    client.setHost("LOCALHOST");
    client.setPort(listener.port());
    client.connect();

    QCOMPARE(calls, 1);
    QCOMPARE(handlerThread, QThread::currentThread());
    QVERIFY(connectedInHandler);
    QVERIFY(!client.connected());
    const int peer = listener.accept(5000);
    QVERIFY(peer >= 0);
    QCOMPARE(bytesUntilEndOfStream(peer), 0);
    ::close(peer);
}

void TestPortProbe::closedPortRaisesAndReleasesTheSocket()
{
    int closedPort;
    {
        LoopbackListener gone;
        closedPort = gone.port();
    }
    PortProbeClient client;
    int calls = 0;
    client.setOnConnected([&](PortProbeClient& sender) {
        ++calls;
        sender.disconnect();
    });
    client.setHost("127.0.0.1");
    client.setPort(closedPort);
    QVERIFY_THROWS_EXCEPTION(NetworkError, client.connect());
    QCOMPARE(calls, 0);
    QVERIFY(!client.connected());

    // The next probe starts afresh on the same client.
    LoopbackListener open;
    client.setPort(open.port());
    client.connect();
    QCOMPARE(calls, 1);
}

void TestPortProbe::connectWhileConnectedRaisesWithoutTraffic()
{
    LoopbackListener listener;
    PortProbeClient client;
    client.setHost("127.0.0.1");
    client.setPort(listener.port());
    client.connect(); // no handler: the connection stays open
    QVERIFY(client.connected());
    const int first = listener.accept(5000);
    QVERIFY(first >= 0);

    QVERIFY_THROWS_EXCEPTION(AlreadyConnectedError, client.connect());
    QVERIFY(client.connected());
    // The listener hands out connections in the order they came: the next one is a marker made
    // now, unless the refused call made one before it.
    const int marker = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(listener.port()));
    QCOMPARE(::connect(marker, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    sockaddr_in markerEnd{}, nextPeer{};
    socklen_t length = sizeof markerEnd;
    ::getsockname(marker, reinterpret_cast<sockaddr*>(&markerEnd), &length);
    const int next = listener.accept(5000);
    QVERIFY(next >= 0);
    length = sizeof nextPeer;
    ::getpeername(next, reinterpret_cast<sockaddr*>(&nextPeer), &length);
    QCOMPARE(ntohs(nextPeer.sin_port), ntohs(markerEnd.sin_port));
    ::close(next);
    ::close(marker);

    client.disconnect();
    QCOMPARE(bytesUntilEndOfStream(first), 0);
    ::close(first);
}

void TestPortProbe::invalidPortsAndHostsRaise_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("port 0") << "127.0.0.1" << 0;
    QTest::newRow("negative port") << "127.0.0.1" << -6900;
    QTest::newRow("port 65536") << "127.0.0.1" << 65536;
    QTest::newRow("port far above") << "127.0.0.1" << 1000000;
    QTest::newRow("empty host") << "" << 6900;
    QTest::newRow("unknown name") << "no-such-host.invalid" << 6900;
    QTest::newRow("marker text") << "Bad Configured Updater (kick GM's ass!)" << 6900;
}

void TestPortProbe::invalidPortsAndHostsRaise()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    PortProbeClient client;
    bool called = false;
    client.setOnConnected([&](PortProbeClient&) { called = true; });
    client.setHost(host.toStdString());
    client.setPort(port);
    QVERIFY_THROWS_EXCEPTION(NetworkError, client.connect());
    QVERIFY(!called);
    QVERIFY(!client.connected());
}

void TestPortProbe::silentPortHoldsTheProbeUntilRefused()
{
    // A listener whose accept queue is full drops further connection attempts without answer.
    LoopbackListener listener(LoopbackListener::Silent);

    auto probe = std::async(std::launch::async, [&] {
        PortProbeClient client;
        client.setHost("127.0.0.1");
        client.setPort(listener.port());
        try {
            client.connect();
            return true;
        } catch (const NetworkError&) {
            return false;
        }
    });
    // It has no time-out of its own: it is still there once the system has sent its attempt again.
    while (!listener.attemptWaiting(1))
        QVERIFY2(probe.wait_for(std::chrono::milliseconds(5)) == std::future_status::timeout,
                 "the probe gave up while the port was silent");

    // Once nobody listens, the next retransmitted attempt is refused and the probe reports off.
    listener.close();
    QVERIFY(probe.wait_for(std::chrono::seconds(30)) == std::future_status::ready);
    QCOMPARE(probe.get(), false);
}

void TestPortProbe::stopEndsAConnectStillWaiting()
{
    // A full accept queue leaves the probe waiting for an answer, as above.
    LoopbackListener listener(LoopbackListener::Silent);

    PortProbeClient client;
    StopFlag stop;
    client.setStopFlag(&stop);
    client.setHost("127.0.0.1");
    client.setPort(listener.port());
    {
        // The silent listener never answers: only the stop ends the connect.
        test::StopLater later(stop, [&] { return listener.attemptWaiting(); });
        QVERIFY_THROWS_EXCEPTION(StoppedError, client.connect());
    }
    QVERIFY(!client.connected());
}

QTEST_GUILESS_MAIN(TestPortProbe)
#include "tst_portprobe.moc"
