#include "net/ConnectEcho.h"
#include "net/IcmpEcho.h"
#include "net/NetErrors.h"
#include "net/TestHooks.h"

#include "support/LoopbackListener.h"
#include "support/PrivateNetwork.h"
#include "support/StopLater.h"
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace updater;

namespace {

#define RUN_IN_PRIVATE_NETWORK(setup)                                                                        \
    if (!test::insidePrivateNetwork()) {                                                                     \
        QByteArray output;                                                                                   \
        const int code = test::runInPrivateNetwork(QTest::currentTestFunction(), setup, &output);            \
        if (code == 77)                                                                                      \
            QSKIP("This machine does not allow a private network namespace (unshare -n needs root or "       \
                  "user namespaces; ip and sysctl must be installed).");                                     \
        QVERIFY2(code == 0, output.constData());                                                             \
        return;                                                                                              \
    }

// A raw socket that sees the ICMP messages of the host, to capture what the echo sends.
class IcmpCapture
{
public:
    IcmpCapture() : m_fd(::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP)) {}
    ~IcmpCapture()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    // The ICMP echo requests captured so far that carry `identifier` (little-endian).
    std::vector<std::vector<uint8_t>> requests(uint16_t identifier)
    {
        std::vector<std::vector<uint8_t>> found;
        uint8_t buffer[2048];
        pollfd entry{m_fd, POLLIN, 0};
        while (::poll(&entry, 1, 200) == 1) {
            const ssize_t size = ::recv(m_fd, buffer, sizeof buffer, 0);
            const size_t offset = size_t(buffer[0] & 0x0F) * 4;
            if (size < ssize_t(offset + 8) || buffer[offset] != 8 ||
                readLittleEndian16(buffer + offset + 4) != identifier)
                continue;
            found.emplace_back(buffer + offset, buffer + size);
        }
        return found;
    }

private:
    int m_fd;
};

// A raw datagram: 20-byte IP header (ttl, source) followed by `icmp`.
std::vector<uint8_t> rawDatagram(uint8_t ttl, const char* source, std::vector<uint8_t> icmp)
{
    std::vector<uint8_t> datagram(20, 0);
    datagram[0] = 0x45;
    datagram[8] = ttl;
    const in_addr_t address = inet_addr(source);
    std::memcpy(&datagram[12], &address, 4);
    datagram.insert(datagram.end(), icmp.begin(), icmp.end());
    return datagram;
}

std::vector<uint8_t> icmpMessage(uint8_t type, uint16_t sequence, uint32_t tick, size_t size)
{
    // Built whole, then cut to `size`, so short messages can be made too.
    std::vector<uint8_t> icmp(std::max<size_t>(size, 12), 0);
    icmp[0] = type;
    icmp[6] = uint8_t(sequence);
    icmp[7] = uint8_t(sequence >> 8);
    for (int i = 0; i < 4; ++i)
        icmp[8 + i] = uint8_t(tick >> (8 * i));
    icmp.resize(size);
    return icmp;
}

// Echoes once and returns the record handed to the reply handler; `tookMs` gets how long the call
// took, which no round trip of it can exceed.
ReplyStatus echoOnce(IcmpEchoClient& client, int* calls = nullptr, uint32_t* tookMs = nullptr)
{
    ReplyStatus record;
    record.receivedBytes = -1;
    client.setOnReply([&](IcmpEchoClient&, const ReplyStatus& reply) {
        record = reply;
        if (calls)
            ++*calls;
    });
    const uint32_t began = tickCount();
    client.echo();
    if (tookMs)
        *tookMs = tickCount() - began;
    return record;
}

void verifyAnsweredFromLoopback(IcmpEchoClient& client, uint16_t sequence, int* calls = nullptr)
{
    uint32_t tookMs = 0;
    const ReplyStatus reply = echoOnce(client, calls, &tookMs);
    QCOMPARE(reply.receivedBytes, 20 + 52);
    QCOMPARE(reply.sourceAddress, std::string("127.0.0.1"));
    QCOMPARE(reply.messageType, uint8_t(0));
    QCOMPARE(reply.replyKind, ReplyKind::Echo);
    QCOMPARE(reply.sequence, sequence);
    QVERIFY(reply.ttl > 0);
    QVERIFY2(reply.roundTripMs <= tookMs, "a loopback answer echoes the tick count it was sent with");
}

void verifyTimedOut(const ReplyStatus& reply, uint16_t nextSequence)
{
    QCOMPARE(reply.receivedBytes, 0);
    QCOMPARE(reply.sourceAddress, std::string("0.0.0.0"));
    QCOMPARE(reply.messageType, uint8_t(0));
    QCOMPARE(reply.ttl, uint8_t(0));
    QCOMPARE(reply.sequence, nextSequence);
    QCOMPARE(reply.replyKind, ReplyKind::TimedOut);
}

} // namespace

class TestEcho : public QObject
{
    Q_OBJECT
private slots:
    void requestBytes();
    void answerKinds_data();
    void answerKinds();
    void malformedAnswersRaise();
    void onlyDatagramsAboutTheRequestCount();
    void echoToLoopback();
    void emptyAndUnknownHosts();
    void noAnswerGivesTimedOutRecord();
    void datagramSocketFillsTheRecord();
    void stopEndsTheWaitForAnAnswer();
    void connectEchoRecords_data();
    void connectEchoRecords();
};

void TestEcho::requestBytes()
{
    const EchoRequest request = buildEchoRequest(0x1234, 0xABCD, 0x11223344);
    QCOMPARE(request.size(), size_t(52));
    QCOMPARE(request[0], uint8_t(8));
    QCOMPARE(request[1], uint8_t(0));
    // Identifier, sequence and tick count in little-endian order.
    const uint8_t fields[] = {0x34, 0x12, 0xCD, 0xAB, 0x44, 0x33, 0x22, 0x11};
    QVERIFY(std::memcmp(request.data() + 4, fields, sizeof fields) == 0);
    for (int i = 12; i < 20; ++i)
        QCOMPARE(request[i], uint8_t(0));
    for (int i = 20; i < 52; ++i)
        QCOMPARE(request[i], uint8_t('E'));
    // A correct checksum makes the sum over the whole message come out as 0.
    QCOMPARE(internetChecksum(request.data(), request.size()), uint16_t(0));
    // Checksum worked out by hand for these fields (RFC 1071 one's complement sum).
    QCOMPARE(request[2], uint8_t(0x3B));
    QCOMPARE(request[3], uint8_t(0xA9));
}

void TestEcho::answerKinds_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("kind");
    QTest::newRow("echo reply") << 0 << int(ReplyKind::Echo);
    QTest::newRow("echo request") << 8 << int(ReplyKind::Echo);
    QTest::newRow("unreachable") << 3 << int(ReplyKind::Unreachable);
    QTest::newRow("time exceeded") << 11 << int(ReplyKind::TtlExceeded);
}

void TestEcho::answerKinds()
{
    QFETCH(int, type);
    QFETCH(int, kind);
    const auto datagram = rawDatagram(57, "10.1.2.3", icmpMessage(uint8_t(type), 513, 1000, 52));
    ReplyStatus status;
    readEchoAnswer(datagram.data(), datagram.size(), true, 1047, status);
    QCOMPARE(int(status.replyKind), kind);
    QCOMPARE(status.messageType, uint8_t(type));
    QCOMPARE(status.receivedBytes, 72);
    QCOMPARE(status.sourceAddress, std::string("10.1.2.3"));
    QCOMPARE(status.ttl, uint8_t(57));
    QCOMPARE(status.sequence, uint16_t(513));
    QCOMPARE(status.roundTripMs, uint32_t(47));
}

void TestEcho::malformedAnswersRaise()
{
    ReplyStatus status;
    const auto shortDatagram = rawDatagram(64, "127.0.0.1", icmpMessage(0, 1, 0, 7));
    QVERIFY_THROWS_EXCEPTION(IcmpError,
                             readEchoAnswer(shortDatagram.data(), shortDatagram.size(), true, 0, status));

    // An IP header with options: its length field says 24 bytes, so 8 more must follow.
    auto withOptions = rawDatagram(64, "127.0.0.1", icmpMessage(0, 1, 0, 8));
    withOptions[0] = 0x46;
    QVERIFY_THROWS_EXCEPTION(IcmpError,
                             readEchoAnswer(withOptions.data(), withOptions.size(), true, 0, status));

    for (uint8_t type : {uint8_t(4), uint8_t(5), uint8_t(13), uint8_t(255)}) {
        const auto other = rawDatagram(64, "127.0.0.1", icmpMessage(type, 1, 0, 52));
        QVERIFY_THROWS_EXCEPTION(IcmpError, readEchoAnswer(other.data(), other.size(), true, 0, status));
    }
    const auto shortIcmp = icmpMessage(0, 1, 0, 7);
    QVERIFY_THROWS_EXCEPTION(IcmpError, readEchoAnswer(shortIcmp.data(), shortIcmp.size(), false, 0, status));
}

void TestEcho::onlyDatagramsAboutTheRequestCount()
{
    const EchoRequest request = buildEchoRequest(0x0102, 7, 5000);
    const uint32_t target = inet_addr("10.1.2.3");
    const auto concerns = [&](const std::vector<uint8_t>& datagram) {
        return concernsRequest(datagram.data(), datagram.size(), request, target);
    };
    std::vector<uint8_t> reply(request.begin(), request.end());
    reply[0] = 0;
    QVERIFY(concerns(rawDatagram(50, "10.1.2.3", reply)));
    QVERIFY(!concerns(rawDatagram(50, "10.9.9.9", reply))); // the other server's answer
    auto otherSequence = reply;
    otherSequence[6] = 8;
    QVERIFY(!concerns(rawDatagram(50, "10.1.2.3", otherSequence)));
    auto otherTick = reply;
    otherTick[8] ^= 1;
    QVERIFY(!concerns(rawDatagram(50, "10.1.2.3", otherTick)));
    // Our own request, seen on the way out.
    QVERIFY(!concerns(rawDatagram(64, "127.0.0.1", std::vector<uint8_t>(request.begin(), request.end()))));

    // An error quoting our request (as sent to the target) is ours; one quoting another is not.
    const auto error = [&](uint8_t type, const char* quotedTarget, uint16_t sequence) {
        const EchoRequest quotedRequest = buildEchoRequest(0x0102, sequence, 5000);
        std::vector<uint8_t> quoted =
            rawDatagram(128, "192.168.0.2", {quotedRequest.begin(), quotedRequest.begin() + 8});
        const in_addr_t destination = inet_addr(quotedTarget);
        std::memcpy(&quoted[16], &destination, 4);
        std::vector<uint8_t> icmp{type, 1, 0, 0, 0, 0, 0, 0};
        icmp.insert(icmp.end(), quoted.begin(), quoted.end());
        return rawDatagram(250, "10.0.0.1", icmp);
    };
    QVERIFY(concerns(error(3, "10.1.2.3", 7)));
    QVERIFY(concerns(error(11, "10.1.2.3", 7)));
    QVERIFY(!concerns(error(3, "10.1.2.4", 7)));
    QVERIFY(!concerns(error(11, "10.1.2.3", 8)));
    // Other types are not filtered: reading them raises.
    QVERIFY(concerns(rawDatagram(64, "10.1.2.3", icmpMessage(5, 7, 0, 36))));
}

void TestEcho::echoToLoopback()
{
    IcmpCapture capture;
    IcmpEchoClient client;
    QCOMPARE(client.receiveTimeout(), 3000);
    client.setHost("127.0.0.1");
    int calls = 0;
    const uint32_t began = tickCount();
    verifyAnsweredFromLoopback(client, 0, &calls);
    QCOMPARE(calls, 1);
    client.setHost("LocalHost");
    verifyAnsweredFromLoopback(client, 1, &calls);
    QCOMPARE(calls, 2);
    QCOMPARE(client.nextSequence(), uint16_t(2));
    const uint32_t tookMs = tickCount() - began;

    if (!capture.isOpen())
        QSKIP("No raw socket to capture the request bytes (needs root or CAP_NET_RAW).");
    const auto requests = capture.requests(IcmpEchoClient::processIdentifier());
    QCOMPARE(requests.size(), size_t(2));
    for (uint16_t sequence = 0; sequence < 2; ++sequence) {
        const std::vector<uint8_t>& sent = requests[sequence];
        QCOMPARE(sent.size(), size_t(52));
        const uint32_t tick = readLittleEndian32(sent.data() + 8);
        QVERIFY(tick - began <= tookMs); // the tick count when it was sent
        const EchoRequest expected = buildEchoRequest(IcmpEchoClient::processIdentifier(), sequence, tick);
        QVERIFY(std::memcmp(sent.data(), expected.data(), expected.size()) == 0);
    }
}

void TestEcho::emptyAndUnknownHosts()
{
    IcmpEchoClient client;
    int calls = 0;
    client.setHost("");
    verifyTimedOut(echoOnce(client, &calls), 0);
    QCOMPARE(calls, 1);

    client.setHost("no-such-host.invalid");
    QVERIFY_THROWS_EXCEPTION(NetworkError, echoOnce(client, &calls));
    client.setHost("Bad Configured Updater (kick GM's ass!)");
    QVERIFY_THROWS_EXCEPTION(NetworkError, echoOnce(client, &calls));
    QCOMPARE(calls, 1);
    QCOMPARE(client.nextSequence(), uint16_t(0));
}

void TestEcho::noAnswerGivesTimedOutRecord()
{
    RUN_IN_PRIVATE_NETWORK("ip link set lo up && sysctl -w net.ipv4.icmp_echo_ignore_all=1 && "
                           "sysctl -w net.ipv4.ping_group_range='0 2147483647'");
    // The raw socket also sees its own request on loopback: that must not count as an answer.
    for (auto kind : {IcmpEchoClient::SocketKind::Raw, IcmpEchoClient::SocketKind::Datagram}) {
        IcmpEchoClient client;
        forceSocketKindForTest(client, kind);
        client.setReceiveTimeout(300);
        client.setHost("127.0.0.1");
        verifyTimedOut(echoOnce(client), 1);
        verifyTimedOut(echoOnce(client), 2);
    }
}

void TestEcho::datagramSocketFillsTheRecord()
{
    RUN_IN_PRIVATE_NETWORK("ip link set lo up && sysctl -w net.ipv4.ping_group_range='0 2147483647'");
    IcmpCapture capture;
    IcmpEchoClient client;
    forceSocketKindForTest(client, IcmpEchoClient::SocketKind::Datagram);
    client.setHost("127.0.0.1");
    verifyAnsweredFromLoopback(client, 0);
    verifyAnsweredFromLoopback(client, 1);
    // Two clients of one process share the identifier; each still gets its own answer.
    IcmpEchoClient other;
    forceSocketKindForTest(other, IcmpEchoClient::SocketKind::Raw);
    other.setHost("127.0.0.1");
    verifyAnsweredFromLoopback(other, 0);
    if (capture.isOpen()) {
        // The kernel took our identifier, so the request went out as built.
        QCOMPARE(capture.requests(IcmpEchoClient::processIdentifier()).size(), size_t(3));
    }

    // Where unprivileged echo sockets are not allowed, the platform refuses the echo.
    QFile range("/proc/sys/net/ipv4/ping_group_range");
    QVERIFY(range.open(QIODevice::WriteOnly));
    QVERIFY(range.write("1 0\n") > 0);
    range.close();
    int calls = 0;
    QVERIFY_THROWS_EXCEPTION(IcmpRefusedError, echoOnce(client, &calls));
    QCOMPARE(calls, 0);
}

void TestEcho::stopEndsTheWaitForAnAnswer()
{
    RUN_IN_PRIVATE_NETWORK("ip link set lo up && sysctl -w net.ipv4.icmp_echo_ignore_all=1 && "
                           "sysctl -w net.ipv4.ping_group_range='0 2147483647'");
    IcmpCapture capture;
    QVERIFY(capture.isOpen());
    IcmpEchoClient client;
    forceSocketKindForTest(client, IcmpEchoClient::SocketKind::Raw); // its requests carry our identifier
    StopFlag stop;
    client.setStopFlag(&stop);
    client.setHost("127.0.0.1");
    int calls = 0;
    {
        // Once the request is out, the client waits for its answer; not "no answer": the stop
        // ended the wait, not the 3 s receive time-out.
        test::StopLater later(stop,
                              [&] { return !capture.requests(IcmpEchoClient::processIdentifier()).empty(); });
        QVERIFY_THROWS_EXCEPTION(StoppedError, echoOnce(client, &calls));
    }
    QCOMPARE(calls, 0);
}

void TestEcho::connectEchoRecords_data()
{
    QTest::addColumn<QString>("port"); // "open", "closed" or "silent"
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<bool>("stop"); // requested while the connection attempt waits
    QTest::addColumn<QString>("outcome");
    QTest::newRow("open") << "open" << 300 << false << "answer";
    QTest::newRow("refused") << "closed" << 300 << false << "no answer";
    QTest::newRow("not set up in time") << "silent" << 300 << false << "no answer";
    QTest::newRow("stopped") << "silent" << 60000 << true << "stopped";
}

void TestEcho::connectEchoRecords()
{
    QFETCH(QString, port);
    QFETCH(int, timeoutMs);
    QFETCH(bool, stop);
    QFETCH(QString, outcome);
    test::LoopbackListener listener(port == "silent" ? test::LoopbackListener::Silent
                                                     : test::LoopbackListener::Queueing);
    if (port == "closed")
        listener.close();
    ConnectEchoClient client;
    StopFlag flag;
    client.setStopFlag(&flag);
    client.setHost("127.0.0.1");
    client.setPort(listener.port());
    client.setReceiveTimeout(timeoutMs);

    ReplyStatus reply;
    QString result;
    uint32_t tookMs = 0;
    {
        std::optional<test::StopLater> later;
        if (stop)
            later.emplace(flag, [&] { return listener.attemptWaiting(); });
        const uint32_t began = tickCount();
        try {
            reply = client.echo();
            result = reply.receivedBytes != 0 ? "answer" : "no answer";
        } catch (const StoppedError&) {
            result = "stopped";
        }
        tookMs = tickCount() - began;
    }
    // A wait that ignored its time-out or the stop would not end: the silent port never answers.
    QCOMPARE(result, outcome);
    if (outcome == "answer") {
        QCOMPARE(reply.receivedBytes, ConnectEchoClient::AnswerBytes);
        QCOMPARE(reply.sourceAddress, std::string("127.0.0.1"));
        QCOMPARE(reply.replyKind, ReplyKind::Echo);
        QCOMPARE(reply.sequence, uint16_t(0));
        QVERIFY(reply.roundTripMs <= tookMs);
    } else if (outcome == "no answer") {
        verifyTimedOut(reply, 1);
    }
}

QTEST_GUILESS_MAIN(TestEcho)
#include "tst_echo.moc"
