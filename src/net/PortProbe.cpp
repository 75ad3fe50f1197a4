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

    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(m_port));
    target.sin_addr.s_addr = resolveIPv4(m_host);

    // Non-blocking, so that the wait for the peer can look at the stop flag.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
    if (fd < 0)
        throw NetworkError(std::string("Cannot open a socket: ") + std::strerror(errno));
    int error = 0;
    try {
        // No time limit of our own: the system's connect time-out ends a silent attempt.
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) < 0)
            error =
                errno == EINPROGRESS || errno == EINTR ? waitForConnect(fd, std::nullopt, m_stopFlag) : errno;
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (error != 0) {
        ::close(fd);
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
