#include "net/PortProbe.h"

#include "net/ConnectWait.h"
#include "net/HostLookup.h"
#include "net/NetErrors.h"
#include "platform/StopFlag.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace updater {

PortProbeClient::~PortProbeClient()
{
    disconnect();
}

void PortProbeClient::connect()
{
    if (connected())
        throw AlreadyConnectedError();
    if (m_port < 1 || m_port > 65535)
        throw NetworkError("Invalid port " + std::to_string(m_port) + ".");
    if (m_host.empty())
        throw NetworkError("No host to connect to.");

    int error = 0;
    // No time limit of our own: the system's connect time-out ends a silent attempt.
    const int fd = connectTcp(resolveIPv4(m_host).networkOrder(), m_port, std::nullopt, m_stopFlag, error);
    if (fd < 0) {
        throw NetworkError("Cannot connect to " + m_host + ":" + std::to_string(m_port) + ": " +
                           std::strerror(error));
    }
    m_socket = fd;
    if (m_onConnected)
        m_onConnected(*this);
}

void PortProbeClient::disconnect()
{
    if (m_socket >= 0) {
        ::close(m_socket);
        m_socket = -1;
    }
}

} // namespace updater
