#include "support/LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <initializer_list>

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

} // namespace updater::test
