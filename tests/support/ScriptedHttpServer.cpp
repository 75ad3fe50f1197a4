#include "support/ScriptedHttpServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace updater::test {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto DripInterval = std::chrono::milliseconds(100);

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

uint16_t boundPort(int socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

bool sendAll(int socket, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false; // the client went away, e.g. after aborting a transfer
        sent += static_cast<size_t>(n);
    }
    return true;
}

std::string requestTarget(const std::string& request)
{
    const auto first = request.find(' ');
    if (first == std::string::npos)
        return {};
    const auto second = request.find_first_of(" \r\n", first + 1);
    return request.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
}

} // namespace

struct ScriptedHttpServer::Connection
{
    int socket = -1;
    std::string buffer;
    bool hanging = false;
    std::string drip; // body bytes still to send one at a time
    Clock::time_point nextDrip;
};

ScriptedHttpServer::ScriptedHttpServer()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(0);
    if (m_listener < 0 ||
        ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 16) != 0 || ::pipe(m_wakePipe) != 0)
        throw std::runtime_error("ScriptedHttpServer: cannot listen on loopback");
    m_port = boundPort(m_listener);
    m_thread = std::thread([this] { run(); });
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    const char stop = 'x';
    [[maybe_unused]] const ssize_t written = ::write(m_wakePipe[1], &stop, 1);
    m_thread.join();
    ::close(m_listener);
    ::close(m_wakePipe[0]);
    ::close(m_wakePipe[1]);
}

std::string ScriptedHttpServer::url(const std::string& target) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + target;
}

void ScriptedHttpServer::serve(const std::string& target, Reply reply)
{
    serveSequence(target, {std::move(reply)});
}

void ScriptedHttpServer::serveSequence(const std::string& target, std::vector<Reply> replies)
{
    std::lock_guard lock(m_mutex);
    m_files.erase(target);
    m_replies[target] = std::move(replies);
}

void ScriptedHttpServer::serveFile(const std::string& target, const std::string& filePath)
{
    std::lock_guard lock(m_mutex);
    m_replies.erase(target);
    m_files[target] = filePath;
}

void ScriptedHttpServer::setHandler(Handler handler)
{
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

std::vector<std::string> ScriptedHttpServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

int ScriptedHttpServer::connectionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_connections;
}

bool ScriptedHttpServer::waitForRequest(const std::string& target, std::chrono::milliseconds limit) const
{
    std::unique_lock lock(m_mutex);
    return m_requestArrived.wait_for(lock, limit, [&] {
        return std::any_of(m_requests.begin(), m_requests.end(),
                           [&](const std::string& request) { return requestTarget(request) == target; });
    });
}

ScriptedHttpServer::Reply ScriptedHttpServer::ok(const std::string& body)
{
    return status("200 OK", body);
}

ScriptedHttpServer::Reply ScriptedHttpServer::status(const std::string& status, const std::string& body,
                                                     const std::string& extraHeaders)
{
    return {"HTTP/1.1 " + status + "\r\n" + extraHeaders + "Content-Length: " + std::to_string(body.size()) +
                "\r\n\r\n" + body,
            Ending::KeepOpen};
}

uint16_t ScriptedHttpServer::unusedPort()
{
    // The kernel hands out a free port; once closed, nothing listens there.
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(0);
    ::bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const uint16_t port = boundPort(probe);
    ::close(probe);
    return port;
}

ScriptedHttpServer::Reply ScriptedHttpServer::replyFor(const std::string& target, const std::string& request)
{
    std::unique_lock lock(m_mutex);
    m_requests.push_back(request);
    m_requestArrived.notify_all();
    if (auto found = m_replies.find(target); found != m_replies.end() && !found->second.empty()) {
        Reply reply = found->second.front();
        if (found->second.size() > 1)
            found->second.erase(found->second.begin());
        return reply;
    }
    if (auto found = m_files.find(target); found != m_files.end()) {
        std::ifstream file(found->second, std::ios::binary);
        if (file)
            return ok(std::string(std::istreambuf_iterator<char>(file), {}));
    }
    if (m_handler) {
        Handler handler = m_handler;
        lock.unlock();
        return handler(target, request);
    }
    return status("404 Not Found", "<html><body>Not Found</body></html>");
}

// Reads what arrived and answers every complete request; false when the connection is done.
bool ScriptedHttpServer::handleReadable(Connection& connection)
{
    char chunk[4096];
    const ssize_t n = ::recv(connection.socket, chunk, sizeof chunk, 0);
    if (n <= 0)
        return false;
    if (connection.hanging || !connection.drip.empty())
        return true;
    connection.buffer.append(chunk, static_cast<size_t>(n));
    for (auto end = connection.buffer.find("\r\n\r\n"); end != std::string::npos;
         end = connection.buffer.find("\r\n\r\n")) {
        const std::string request = connection.buffer.substr(0, end + 4);
        connection.buffer.erase(0, end + 4);
        const Reply reply = replyFor(requestTarget(request), request);
        if (reply.ending == Ending::Drip) {
            const auto headerEnd = reply.bytes.find("\r\n\r\n");
            const size_t bodyStart = headerEnd == std::string::npos ? reply.bytes.size() : headerEnd + 4;
            connection.drip = reply.bytes.substr(bodyStart);
            connection.nextDrip = Clock::now() + DripInterval;
            return sendAll(connection.socket, reply.bytes.substr(0, bodyStart));
        }
        if (!sendAll(connection.socket, reply.bytes) || reply.ending == Ending::Close)
            return false;
        if (reply.ending == Ending::Reset) {
            const linger abort{1, 0};
            ::setsockopt(connection.socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            return false;
        }
        if (reply.ending == Ending::Hang) {
            connection.hanging = true;
            return true;
        }
    }
    return true;
}

void ScriptedHttpServer::run()
{
    std::vector<Connection> connections;
    for (;;) {
        std::vector<pollfd> watched{{m_wakePipe[0], POLLIN, 0}, {m_listener, POLLIN, 0}};
        int timeoutMs = -1;
        for (const Connection& c : connections) {
            watched.push_back({c.socket, POLLIN, 0});
            if (!c.drip.empty()) {
                const auto wait = std::chrono::ceil<std::chrono::milliseconds>(c.nextDrip - Clock::now());
                const int ms = static_cast<int>(std::max<long long>(wait.count(), 0));
                timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
            }
        }
        if (::poll(watched.data(), watched.size(), timeoutMs) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (watched[0].revents)
            break;
        if (watched[1].revents & POLLIN) {
            const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (socket >= 0) {
                connections.push_back({socket, {}, false, {}, {}});
                std::lock_guard lock(m_mutex);
                ++m_connections;
            }
        }
        std::vector<Connection> open;
        for (size_t i = 0; i < connections.size(); ++i) {
            Connection& c = connections[i];
            const short events = i + 2 < watched.size() ? watched[i + 2].revents : 0;
            if (events && !handleReadable(c)) {
                ::close(c.socket);
                continue;
            }
            if (!c.drip.empty() && Clock::now() >= c.nextDrip) {
                if (!sendAll(c.socket, c.drip.substr(0, 1))) {
                    ::close(c.socket);
                    continue;
                }
                c.drip.erase(0, 1);
                c.nextDrip += DripInterval;
            }
            open.push_back(std::move(c));
        }
        connections = std::move(open);
    }
    for (const Connection& c : connections)
        ::close(c.socket);
}

} // namespace updater::test
