#pragma once

#include <functional>
#include <string>

namespace updater {

class StopFlag;

// The TCP port probe of one server: opens a connection and lets the connected handler close it
// again, so the peer sees a connection set up and torn down without a byte either way. Used by one
// thread only; the connect blocks until the kernel gives up on a silent peer (its SYN retries)
// unless a stop is requested.
class PortProbeClient
{
public:
    using ConnectedHandler = std::function<void(PortProbeClient& sender)>;

    PortProbeClient() = default;
    ~PortProbeClient();
    PortProbeClient(const PortProbeClient&) = delete;
    PortProbeClient& operator=(const PortProbeClient&) = delete;

    void setHost(const std::string& host) { m_host = host; }
    const std::string& host() const { return m_host; }
    void setPort(int port) { m_port = port; }
    int port() const { return m_port; }
    void setOnConnected(ConnectedHandler handler) { m_onConnected = std::move(handler); }
    // Once the flag is requested, a connect() still waiting for the peer gives up within a tenth
    // of a second, releases the socket and raises StoppedError.
    void setStopFlag(const StopFlag* flag) { m_stopFlag = flag; }

    // Connects to host() and port(), then calls the connected handler on this thread before it
    // returns. Raises AlreadyConnectedError (without network traffic) while still connected, and
    // NetworkError for a port outside 1..65535, a host that does not resolve and a connection that
    // is refused, unreachable or timed out; the socket is then released.
    void connect();
    void disconnect();
    bool connected() const { return m_socket >= 0; }

private:
    std::string m_host;
    int m_port = 0;
    int m_socket = -1;
    ConnectedHandler m_onConnected;
    const StopFlag* m_stopFlag = nullptr;
};

} // namespace updater
