// The demo community's game server: listens on the account, char and map ports given on the
// command line (on 127.0.0.1 unless --bind says otherwise), accepts every connection and closes it
// at once. That is all the launcher's status probe needs to see a server as online.
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onStopSignal(int)
{
    stopRequested = 1;
}

void printUsage()
{
    std::fprintf(stderr, "usage: tarvo-demo-server [--bind ADDRESS] PORT...\n"
                         "Listens on every PORT, accepts connections and closes them, until killed.\n");
}

bool parsePort(const char* text, int& port)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 1 || value > 65535)
        return false;
    port = static_cast<int>(value);
    return true;
}

int openListener(const std::string& address, int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || ::listen(fd, 16) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

} // namespace

int main(int argc, char** argv)
{
    std::string address = "127.0.0.1";
    std::vector<int> ports;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printUsage();
            return 0;
        }
        if (arg == "--bind" && i + 1 < argc) {
            address = argv[++i];
            continue;
        }
        int port = 0;
        if (!parsePort(argv[i], port)) {
            std::fprintf(stderr, "tarvo-demo-server: not a port number: %s\n", argv[i]);
            printUsage();
            return 2;
        }
        ports.push_back(port);
    }
    if (ports.empty()) {
        printUsage();
        return 2;
    }

    std::vector<pollfd> listeners;
    for (const int port : ports) {
        const int fd = openListener(address, port);
        if (fd < 0) {
            std::fprintf(stderr, "tarvo-demo-server: cannot listen on %s:%d: %s\n", address.c_str(), port,
                         std::strerror(errno));
            for (const pollfd& open : listeners)
                ::close(open.fd);
            return 1;
        }
        listeners.push_back(pollfd{fd, POLLIN, 0});
        std::printf("listening on %s:%d\n", address.c_str(), port);
    }
    std::printf("ready\n");
    std::fflush(stdout);

    struct sigaction stop
    {
    };
    stop.sa_handler = onStopSignal;
    ::sigaction(SIGTERM, &stop, nullptr);
    ::sigaction(SIGINT, &stop, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    unsigned long accepted = 0;
    while (!stopRequested) {
        const int ready = ::poll(listeners.data(), listeners.size(), 500);
        if (ready < 0 && errno != EINTR) {
            std::perror("tarvo-demo-server: poll");
            break;
        }
        for (pollfd& listener : listeners) {
            if (!(listener.revents & POLLIN))
                continue;
            const int client = ::accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                ::close(client);
                ++accepted;
            }
        }
    }
    for (const pollfd& listener : listeners)
        ::close(listener.fd);
    std::printf("stopped after %lu connections\n", accepted);
    return 0;
}
