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
    const IPv4Address address = resolveIPv4(m_host);
    const uint16_t sequence = m_sequence++;
    const uint32_t sent = tickCount();
    int error = 0;
    const int fd = connectTcp(address.networkOrder(), m_port,
                              sent + static_cast<uint32_t>(m_receiveTimeoutMs), m_stopFlag, error);
    const uint32_t now = tickCount();
    if (fd >= 0)
        ::close(fd);
    if (error != 0) {
        status.sequence = m_sequence;
        return status;
    }
    status.receivedBytes = AnswerBytes;
    status.sourceAddress = address.dotted();
    status.sequence = sequence;
    status.roundTripMs = now - sent;
    status.replyKind = ReplyKind::Echo;
    return status;
}

} // namespace updater
