#include "net/ConnectEcho.h"

#include "net/ConnectWait.h"
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
