#include "support/LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

namespace updater::test {

LoopbackListener::LoopbackListener(Kind kind)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    // A queue of length 0 still takes one connection; the filler is that one.
    ::listen(m_fd, kind == Silent ? 0 : 8);
    socklen_t length = sizeof address;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    if (kind == Silent) {
        m_filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::connect(m_filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
}

LoopbackListener::~LoopbackListener()
{
    close();
}

void LoopbackListener::close()
{
    for (int* fd : {&m_fd, &m_filler}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

int LoopbackListener::accept(int ms)
{
    pollfd entry{m_fd, POLLIN, 0};
    if (::poll(&entry, 1, ms) != 1)
        return -1;
    return ::accept(m_fd, nullptr, nullptr);
}

bool LoopbackListener::attemptWaiting(int resent) const
{
    // Lines of "sl local_address rem_address st tx_queue:rx_queue tr:when retrnsmt ...", addresses
    // as hex "0100007F:1F90", state 02 for SYN_SENT.
    std::ifstream table("/proc/net/tcp");
    std::string line;
    char remote[16];
    std::snprintf(remote, sizeof remote, "0100007F:%04X", m_port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, peer, state, queues, timer;
        int retransmits = 0;
        if (fields >> slot >> local >> peer >> state >> queues >> timer >> std::hex >> retransmits &&
            peer == remote && state == "02" && retransmits >= resent)
            return true;
    }
    return false;
}

} // namespace updater::test
