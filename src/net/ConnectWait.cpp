#include "net/ConnectWait.h"

#include "net/NetErrors.h"
#include "net/SocketWait.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace updater {

namespace {

// Waits for the non-blocking connect on `fd` to finish; returns its error, 0 for success.
int waitForConnect(int fd, std::optional<uint32_t> deadline, const StopFlag* stop)
{
    bool errorQueued = false;
    if (!waitForSocket(fd, SocketReadiness::Writable, deadline, stop, errorQueued))
        return ETIMEDOUT;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
        return errno;
    return error;
}

} // namespace

int connectTcp(uint32_t address, int port, std::optional<uint32_t> deadline, const StopFlag* stop, int& error)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(port));
    target.sin_addr.s_addr = address;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
    if (fd < 0)
        throw NetworkError(std::string("Cannot open a socket: ") + std::strerror(errno));
    error = 0;
    try {
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) < 0)
            error = errno == EINPROGRESS || errno == EINTR ? waitForConnect(fd, deadline, stop) : errno;
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (error == 0)
        return fd;
    ::close(fd);
    return -1;
}

} // namespace updater
