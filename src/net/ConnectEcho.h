#pragma once

#include "net/IcmpPacket.h"

#include <cstdint>
#include <string>

namespace updater {

class StopFlag;

// The stand-in for the echo where the platform refuses ICMP: times the opening of a TCP
// connection, whose handshake takes one round trip, and closes it again at once. Used by one
// thread only.
//
// An answer reads like an echo reply from the host: ReceivedBytes counts the IP and TCP headers of
// the peer's answer to the connection request (options left out); the handshake tells no
// time-to-live. A connection that is refused, fails or is not set up within receiveTimeout() gives
// the echo's no-answer record.
class ConnectEchoClient
{
public:
    static constexpr int32_t AnswerBytes = 20 + 20;

    void setHost(const std::string& host) { m_host = host; }
    void setPort(int port) { m_port = port; }
    void setReceiveTimeout(int milliseconds) { m_receiveTimeoutMs = milliseconds; }
    // Once the flag is requested, a connection still pending is dropped within a tenth of a second
    // and echo() raises StoppedError.
    void setStopFlag(const StopFlag* flag) { m_stopFlag = flag; }

    // Connects to host() and port() and returns the record. An empty host or a port outside
    // 1..65535 reports no answer; a host that does not resolve and a socket that cannot be opened
    // raise NetworkError.
    ReplyStatus echo();

private:
    std::string m_host;
    int m_port = 0;
    int m_receiveTimeoutMs = 3000;
    uint16_t m_sequence = 0;
    const StopFlag* m_stopFlag = nullptr;
};

} // namespace updater
