#pragma once

#include "net/IcmpPacket.h"

#include <cstdint>
#include <functional>
#include <string>

namespace updater {

class StopFlag;

// The ICMP echo client of one server. Used by one thread only.
//
// It sends through a raw ICMP socket when the process may open one (root or CAP_NET_RAW), else
// through the kernel's unprivileged ICMP datagram socket (allowed by net.ipv4.ping_group_range).
// With the datagram socket the kernel owns the identifier field and hands over the answer without
// its IP header; the record is then filled from what the kernel reports (source, time-to-live)
// and counts a 20-byte IP header in ReceivedBytes. A raw socket sees all ICMP traffic of the host;
// there the echo takes the first datagram that concerns its own request (concernsRequest), so that
// neither its own request on loopback nor the other monitor's answer passes for an answer.
class IcmpEchoClient
{
public:
    enum class SocketKind { Automatic, Raw, Datagram };
    using ReplyHandler = std::function<void(IcmpEchoClient& sender, const ReplyStatus& reply)>;

    static constexpr int DefaultReceiveTimeoutMs = 3000;

    void setHost(const std::string& host) { m_host = host; }
    const std::string& host() const { return m_host; }
    void setReceiveTimeout(int milliseconds) { m_receiveTimeoutMs = milliseconds; }
    int receiveTimeout() const { return m_receiveTimeoutMs; }
    void setOnReply(ReplyHandler handler) { m_onReply = std::move(handler); }
    // Once the flag is requested, echo() stops waiting for the answer within a tenth of a second
    // and raises StoppedError without calling the reply handler.
    void setStopFlag(const StopFlag* flag) { m_stopFlag = flag; }

    // The sequence number the next echo will carry.
    uint16_t nextSequence() const { return m_sequence; }

    // Sends one echo request to host(), waits up to receiveTimeout() for one answer and calls the
    // reply handler with the record before it returns. No answer in time is reported as a record
    // with ReceivedBytes 0; a host that does not resolve, a socket that cannot be opened and a
    // malformed answer raise NetworkError, and IcmpRefusedError when the platform refuses this
    // process every ICMP socket. An empty host sends nothing and reports no answer.
    void echo();

    // A test seam (net/TestHooks.h).
    friend void forceSocketKindForTest(IcmpEchoClient& client, SocketKind kind);

    // The identifier this program puts into its requests: the low 16 bits of the process id.
    static uint16_t processIdentifier();

private:
    ReplyStatus timedOutRecord() const;
    ReplyStatus echoRaw(int socket, uint32_t address, const EchoRequest& request);
    ReplyStatus echoDatagram(int socket, uint32_t address, const EchoRequest& request);

    std::string m_host;
    int m_receiveTimeoutMs = DefaultReceiveTimeoutMs;
    uint16_t m_sequence = 0;
    ReplyHandler m_onReply;
    const StopFlag* m_stopFlag = nullptr;
    SocketKind m_socketKind = SocketKind::Automatic;
};

} // namespace updater
