#include "net/ConnectEcho.h"

#include "net/HostLookup.h"
#include "net/NetErrors.h"
#include "platform/StopFlag.h"

#include <algorithm>
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
constexpr int32_t StopCheckMs = 100;

// Waits for a non-blocking connect to finish; returns its error, 0 for success, ETIMEDOUT once
// `deadline` has passed.
int waitForConnect(int fd, uint32_t deadline, const StopFlag* stop)
{
    while (true) {
        if (stop && stop->requested())
            throw NetworkError("Stopped");
        const int32_t remaining = static_cast<int32_t>(deadline - tickCount());
        if (remaining <= 0)
            return ETIMEDOUT;
        pollfd entry{fd, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, std::min(remaining, StopCheckMs));
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
}

} // namespace

ReplyStatus ConnectEchoClient::echo()
{
    ReplyStatus status;
    status.replyKind = ReplyKind::TimedOut;
    if (m_host.empty() || m_port < 1 || m_port > 65535) {
        status.sequence = m_sequence;
        return status;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(m_port));
    target.sin_addr.s_addr = resolveIPv4(m_host);

    // Non-blocking, so that the wait can keep to the time-out and look at the stop flag.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
    if (fd < 0)
        throw NetworkError(std::string("Cannot open a socket: ") + std::strerror(errno));
    const uint16_t sequence = m_sequence++;
    const uint32_t sent = tickCount();
    int error = 0;
    try {
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) < 0)
            error = errno == EINPROGRESS || errno == EINTR
                        ? waitForConnect(fd, sent + static_cast<uint32_t>(m_receiveTimeoutMs), m_stopFlag)
                        : errno;
    } catch (...) {
        ::close(fd);
        throw;
    }
    const uint32_t now = tickCount();
    ::close(fd);
    if (error != 0) {
        status.sequence = m_sequence;
        return status;
    }
    status.receivedBytes = AnswerBytes;
    status.sourceAddress = formatIPv4(target.sin_addr.s_addr);
    status.sequence = sequence;
    status.roundTripMs = now - sent;
    status.replyKind = ReplyKind::Echo;
    return status;
}

} // namespace updater
