#include "net/IcmpEcho.h"

#include "net/HostLookup.h"
#include "net/NetErrors.h"
#include "net/SocketWait.h"
#include "net/TestHooks.h"
#include "platform/StopFlag.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace updater {

namespace {

constexpr int TimeToLive = 128;
constexpr size_t ReceiveBufferSize = 1024;
constexpr int32_t AssumedIpHeaderSize = 20;

class SocketHandle
{
public:
    explicit SocketHandle(int fd) : m_fd(fd) {}
    ~SocketHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

std::string systemError(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

// Waits until the socket is readable or has an error queued; false when `deadline` has passed.
bool waitReadable(int fd, uint32_t deadline, const StopFlag* stop, bool& errorQueued)
{
    return waitForSocket(fd, SocketReadiness::Readable, deadline, stop, errorQueued);
}

void sendRequest(int fd, uint32_t address, const EchoRequest& request)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = address;
    if (::sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                 sizeof target) < 0)
        throw NetworkError(systemError("Cannot send the echo request"));
}

} // namespace

void forceSocketKindForTest(IcmpEchoClient& client, IcmpEchoClient::SocketKind kind)
{
    client.m_socketKind = kind;
}

uint16_t IcmpEchoClient::processIdentifier()
{
    return static_cast<uint16_t>(::getpid() & 0xFFFF);
}

ReplyStatus IcmpEchoClient::timedOutRecord() const
{
    ReplyStatus status;
    status.sequence = m_sequence;
    status.replyKind = ReplyKind::TimedOut;
    return status;
}

void IcmpEchoClient::echo()
{
    ReplyStatus status;
    if (m_host.empty()) {
        // The monitor's first cycle after a failed look-up: there is nobody to ask.
        status = timedOutRecord();
        if (m_onReply)
            m_onReply(*this, status);
        return;
    }
    const uint32_t address = resolveIPv4(m_host).networkOrder();

    // Refused only when every kind tried failed for want of permission (EPERM for a raw socket,
    // EACCES for a group outside the ping range); any other failure is an error like the rest.
    bool refused = true;
    const auto openSocket = [&refused](int type) {
        const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd < 0 && errno != EPERM && errno != EACCES)
            refused = false;
        return fd;
    };
    int fd = -1;
    bool raw = false;
    if (m_socketKind != SocketKind::Datagram) {
        fd = openSocket(SOCK_RAW);
        raw = fd >= 0;
    }
    if (fd < 0 && m_socketKind != SocketKind::Raw)
        fd = openSocket(SOCK_DGRAM);
    if (fd < 0) {
        const std::string message = systemError("Cannot open an ICMP socket");
        if (refused)
            throw IcmpRefusedError(message);
        throw NetworkError(message);
    }
    SocketHandle socket(fd);
    const int ttl = TimeToLive;
    ::setsockopt(fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);

    const EchoRequest request = buildEchoRequest(processIdentifier(), m_sequence, tickCount());
    ++m_sequence;
    status = raw ? echoRaw(fd, address, request) : echoDatagram(fd, address, request);
    if (m_onReply)
        m_onReply(*this, status);
}

ReplyStatus IcmpEchoClient::echoRaw(int fd, uint32_t address, const EchoRequest& request)
{
    sendRequest(fd, address, request);
    const uint32_t deadline = tickCount() + static_cast<uint32_t>(m_receiveTimeoutMs);
    uint8_t datagram[ReceiveBufferSize];
    bool errorQueued = false;
    while (waitReadable(fd, deadline, m_stopFlag, errorQueued)) {
        const ssize_t size = ::recv(fd, datagram, sizeof datagram, 0);
        if (size < 0 && errno == EINTR)
            continue;
        if (size < 0)
            throw NetworkError(systemError("Cannot receive the echo answer"));
        const uint32_t now = tickCount();
        const size_t offset = icmpOffset(datagram, size_t(size));
        if (offset >= 20 && size_t(size) >= offset + 8 &&
            !concernsRequest(datagram, size_t(size), request, address))
            continue;
        ReplyStatus status;
        readEchoAnswer(datagram, size_t(size), true, now, status);
        return status;
    }
    return timedOutRecord();
}

ReplyStatus IcmpEchoClient::echoDatagram(int fd, uint32_t address, const EchoRequest& request)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    // The kernel writes the bound port into the identifier field as it lies in memory: binding
    // to our identifier's bytes keeps the request as we built it. When the other monitor holds
    // that identifier at this moment, the kernel's choice is taken instead.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    std::memcpy(&local.sin_port, request.data() + 4, 2);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);

    sendRequest(fd, address, request);
    const uint32_t deadline = tickCount() + static_cast<uint32_t>(m_receiveTimeoutMs);
    uint8_t datagram[ReceiveBufferSize];
    alignas(cmsghdr) char control[512];
    bool errorQueued = false;
    while (waitReadable(fd, deadline, m_stopFlag, errorQueued)) {
        sockaddr_in source{};
        iovec io{datagram, sizeof datagram};
        msghdr message{};
        message.msg_name = &source;
        message.msg_namelen = sizeof source;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t size = ::recvmsg(fd, &message, errorQueued ? MSG_ERRQUEUE : 0);
        if (size < 0 && errno == EINTR)
            continue;
        if (size < 0)
            throw NetworkError(systemError("Cannot receive the echo answer"));
        const uint32_t now = tickCount();

        ReplyStatus status;
        if (errorQueued) {
            // An ICMP error about our request: the kernel hands back our request and the error's
            // type and sender. Rebuild what the raw datagram would have said.
            const sock_extended_err* error = nullptr;
            for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c))
                if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR)
                    error = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
            if (error == nullptr || error->ee_origin != SO_EE_ORIGIN_ICMP)
                throw NetworkError("Cannot send the echo request: local error");
            uint8_t header[8] = {error->ee_type, error->ee_code};
            readEchoAnswer(header, sizeof header, false, now, status);
            status.receivedBytes = AssumedIpHeaderSize + 8 + AssumedIpHeaderSize + int32_t(size);
            status.sequence = readLittleEndian16(request.data() + 6);
            status.roundTripMs = now - readLittleEndian32(request.data() + 8);
            const auto* offender = reinterpret_cast<const sockaddr_in*>(SO_EE_OFFENDER(error));
            status.sourceAddress = IPv4Address(offender->sin_addr.s_addr).dotted();
            return status;
        }
        readEchoAnswer(datagram, size_t(size), false, now, status);
        status.receivedBytes = int32_t(size) + AssumedIpHeaderSize;
        status.sourceAddress = IPv4Address(source.sin_addr.s_addr).dotted();
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) {
                int value = 0;
                std::memcpy(&value, CMSG_DATA(c), sizeof value);
                status.ttl = static_cast<uint8_t>(value);
            }
        }
        return status;
    }
    return timedOutRecord();
}

} // namespace updater
