#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace updater::test {

// A loopback HTTP server for tests that answers with exact, scripted bytes and records the exact
// bytes of every request. It listens on 127.0.0.1 at a free port and serves on its own thread, so
// a client may block the test's thread while it talks to it.
//
//   ScriptedHttpServer server;
//   server.serve("/list", ScriptedHttpServer::ok("[Updates]\r\n"));
//   server.serve("/old", {"HTTP/1.1 301 Moved Permanently\r\nLocation: /new\r\n"
//                         "Content-Length: 0\r\n\r\n"});
//   server.serve("/cut", {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", Ending::Close});
//   server.serveFile("/p1.rar", "/tmp/fixtures/p1.rar");
//   client.get(server.url("/list"), sink);
//   QCOMPARE(server.requests().at(0), "GET /list HTTP/1.1\r\n...");
//
// A request for a path without a reply gets "404 Not Found" (or whatever the handler answers).
// Replies are matched on the request target exactly as sent ("/a/b.rar?x=1").
class ScriptedHttpServer
{
public:
    // What happens to the connection after the reply bytes are sent.
    enum class Ending {
        KeepOpen, // wait for the next request on it (the client decides when to close)
        Close,    // close it: ends a body that runs until the close, or cuts one short
        Hang,     // send nothing more and keep it open until the client gives up
        Reset,    // abort it with a reset instead of an orderly close
        Drip      // send the body one byte every tenth of a second, then keep the connection open
    };

    struct Reply
    {
        std::string bytes; // status line, headers, blank line and body, exactly as sent
        Ending ending = Ending::KeepOpen;
    };

    // Answers requests that have no scripted reply; runs on the server's thread.
    using Handler = std::function<Reply(const std::string& target, const std::string& request)>;

    ScriptedHttpServer();
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    uint16_t port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by the target.
    std::string url(const std::string& target) const;

    // Every request for `target` gets this reply (replaces an earlier one).
    void serve(const std::string& target, Reply reply);
    // Replies in turn to successive requests for `target`; the last one then repeats.
    void serveSequence(const std::string& target, std::vector<Reply> replies);
    // "200 OK" with the file's bytes and their Content-Length, read when the request arrives.
    void serveFile(const std::string& target, const std::string& filePath);
    void setHandler(Handler handler);

    // The exact bytes of each request received so far, in order of arrival.
    std::vector<std::string> requests() const;
    // Number of connections the server has accepted.
    int connectionCount() const;
    // Waits until a request for `target` has arrived, if none has yet; false when none comes within
    // `limit`, which only a client that never asks reaches.
    bool waitForRequest(const std::string& target,
                        std::chrono::milliseconds limit = std::chrono::minutes(1)) const;

    // "HTTP/1.1 200 OK" with Content-Length and the body.
    static Reply ok(const std::string& body);
    // A full reply for any status: "HTTP/1.1 <status>", the extra header lines (each ending in
    // "\r\n"), a Content-Length and the body.
    static Reply status(const std::string& status, const std::string& body = {},
                        const std::string& extraHeaders = {});
    // A loopback port on which nothing listens.
    static uint16_t unusedPort();

private:
    struct Connection;
    void run();
    Reply replyFor(const std::string& target, const std::string& request);
    bool handleReadable(Connection& connection);

    int m_listener = -1;
    int m_wakePipe[2] = {-1, -1};
    uint16_t m_port = 0;
    std::thread m_thread;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_requestArrived;
    std::map<std::string, std::vector<Reply>> m_replies;
    std::map<std::string, std::string> m_files;
    Handler m_handler;
    std::vector<std::string> m_requests;
    int m_connections = 0;
};

} // namespace updater::test
