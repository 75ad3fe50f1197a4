#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace updater {

class StopFlag;

// Raised for every failed GET: no connection, a reply other than 2xx, a redirection, a cut body.
class HttpError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The launcher's one HTTP client. Sends exactly:
//   GET <path> HTTP/1.1\r\nHost: <host>\r\nAccept: text/html, */*\r\n
//   User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n\r\n
// where <host> is the host name of the address without its port. Redirections are never followed;
// only a 2xx answer without a Location header succeeds. A connection left open by the previous
// answer is used again for the same host and port. Used by one thread at a time; its work events
// and the sink run on the calling thread.
class HttpClient
{
public:
    struct WorkEvents
    {
        std::function<void(int32_t announced)> begin; // announced body length, 0 if none
        std::function<void(int32_t total)> work;      // running total of body bytes
        std::function<void()> end;                    // also after a failed body
    };
    // Receives the body bytes of a successful answer as they arrive; may throw to abort the
    // transfer, and get() then rethrows that exception.
    using Sink = std::function<void(const char* data, size_t size)>;

    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    void setWorkEvents(WorkEvents events);
    // Once the flag is requested, a GET in progress ends with HttpError("Stopped") and a new one
    // fails at once without connecting. curl looks at the flag only about once a second while the
    // server sends nothing. nullptr (the default) means no flag; a flag must outlive its use.
    void setStopFlag(const StopFlag* flag);

    // Fetches the address; returns only for a 2xx answer, throws HttpError otherwise.
    void get(const std::string& url, const Sink& sink);
    // Convenience for small documents (the patch list, the configuration file).
    std::string get(const std::string& url);

    // Status code and reason phrase of the last status line received ("404 Not Found"); kept
    // across failures; empty before the first reply.
    std::string lastReplyText() const;
    int lastReplyCode() const;

    // Limits so that a stalled server cannot freeze the launcher (30 s to connect, 60 s without
    // data by default); tests make them shorter.
    void setTimeLimits(long connectSeconds, long stallSeconds);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The document of an address: the last path segment, "\\" read as "/", a "#" fragment cut off, a
// "?" query kept. An address ending in "/" or with nothing after its host has an empty document.
std::string documentName(const std::string& url);

} // namespace updater
