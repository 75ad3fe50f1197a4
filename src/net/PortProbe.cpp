#include "net/PortProbe.h"

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

namespace {

// The longest a requested stop waits to be noticed.
constexpr int StopCheckMs = 100;

// Waits for a non-blocking connect to finish; returns its error, 0 for success. Returns -1 once
// a stop is requested.
int waitForConnect(int fd, const StopFlag* stop)
{
    while (!(stop && stop->requested())) {
        pollfd entry{fd, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, StopCheckMs);
        if (ready < 0 && errno != EINTR)
            return errno;
        if (ready > 0) {
            int error = 0;
            socklen_t length = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
                return errno;
            return error;
        }
    }
    return -1;
}

} // namespace

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
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) < 0)
        error = errno == EINPROGRESS || errno == EINTR ? waitForConnect(fd, m_stopFlag) : errno;
    if (error != 0) {
        ::close(fd);
        if (error < 0)
            throw NetworkError("Stopped");
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
