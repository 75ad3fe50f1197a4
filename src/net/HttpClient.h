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

// The launcher's one HTTP client. Sends exactly (a resuming request adds two lines, see Resume):
//   GET <path> HTTP/1.1\r\nHost: <host>\r\nAccept: text/html, */*\r\n
//   User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n\r\n
// where <host> is the host name of the address without its port. Through a proxy named in the
// environment (see ProxySettings), the request line names the whole address instead. Redirections are never
// followed; only a 2xx answer without a Location header succeeds. A connection left open by the previous
// answer is used again for the same host and port. Used by one thread at a time; its work events
// and the sink run on the calling thread.
class HttpClient
{
public:
    struct WorkEvents
    {
        // Only the body of an answer that succeeds is the document: an error page or a busy
        // server's answer reports nothing. The announced length and the running total count the
        // whole document: for the rest of one (206 with a Content-Range), its full length and the
        // bytes before the range too.
        std::function<void(int64_t announced)> begin; // announced length, 0 if none
        std::function<void(int64_t total)> work;      // running total of the document's bytes
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
    // The events set, for a transfer of the same document by other means that the same display
    // is to show.
    const WorkEvents& workEvents() const;
    // Once the flag is requested, a GET in progress ends within a tenth of a second and a new one
    // fails at once without connecting, each with a failure of kind Stopped (see raiseStopped).
    // nullptr (the default) means no flag; a flag must outlive its use.
    void setStopFlag(const StopFlag* flag);
    // Ends what the stop flag cut short as a stopped GET ends: lastFailure() becomes kind Stopped
    // and HttpError("Stopped") is raised. For a caller's own wait between GETs (a retry's pause),
    // so that what it raises says "stopped" and not the failure the wait followed.
    [[noreturn]] void raiseStopped();

    // Fetches the address; returns only for a 2xx answer, throws HttpError otherwise.
    void get(const std::string& url, const Sink& sink);

    // The rest of a document partly fetched before: from byte `from` on, and only while it still
    // matches `validator` (the ETag or Last-Modified of the earlier answer); a server whose copy
    // changed sends all of it with a 200. The request carries "Range: bytes=<from>-" and
    // "If-Range: <validator>" after the usual three lines; `from` 0, or a validator that is not a
    // resume validator (see below), sends the usual request.
    struct Resume
    {
        uint64_t from = 0;
        std::string validator;
    };
    void get(const std::string& url, const Sink& sink, const Resume& resume);
    // Convenience for small documents (the patch list, the configuration file).
    std::string get(const std::string& url);

    // Status code and reason phrase of the last status line received ("404 Not Found"); kept
    // across failures, so it may belong to an earlier request; empty before the first reply.
    std::string lastReplyText() const;
    int lastReplyCode() const;

    // Header lines of the last answer that the download of an archive acts on; reset by every
    // GET, and already filled in while its body arrives.
    struct ReplyHeaders
    {
        std::string etag;              // as sent, quotes included
        std::string lastModified;      // as sent
        long long rangeStart = -1;     // first byte of a Content-Range ("bytes 100-199/200": 100)
        long long completeLength = -1; // the whole length in a Content-Range ("bytes */200": 200)
        int retryAfter = -1;           // Retry-After in seconds; an HTTP date is not read
        long long contentLength = -1;  // the body's announced length; -1 for none (chunked, or none sent)
    };
    ReplyHeaders lastReplyHeaders() const;

    // Why the last GET failed. Reset by every GET; kind None means it succeeded (or none ran yet).
    // Decisions go by the kind; the cause is the text for the player.
    struct Failure
    {
        enum class Kind {
            None,
            Refused,     // "connection refused"
            Unreachable, // "host not found", "connection failed"
            TimedOut,    // "connection timed out"
            Reset,       // "connection reset"
            TooSlow,     // "too slow", "no data for <N> s"
            CutShort,    // "body shorter than its Content-Length", "incomplete answer"
            NoAnswer,    // "incomplete answer": the connection was accepted, then closed without a word
            BadAnswer,   // "invalid Content-Length", "invalid answer"
            BadAddress,  // "not an HTTP address", "malformed address"
            Status,      // not 2xx, or a redirection: the cause is the status text ("404 Not Found")
            Local,       // the sink or a work event threw: that exception's text ("disk full")
            Stopped,     // "stopped"
            Other,       // curl's own text for anything rarer (TLS, ...)
        };
        Kind kind = Kind::None;
        int status = 0; // the answer's status code, for Kind::Status
        std::string cause;

        bool failed() const { return kind != Kind::None; }
    };
    Failure lastFailure() const;

    // Limits so that a stalled server cannot freeze the launcher: 30 s to connect, and no data at
    // all for 60 s fails ("no data for 60 s"); tests make them shorter.
    void setTimeLimits(long connectSeconds, long stallSeconds);
    // A transfer whose average speed over the last `seconds` stays under `bytesPerSecond` fails
    // ("too slow", or "no data for <seconds> s" when nothing arrived), so that a server dripping
    // a byte now and then cannot hold it forever. Counts header and body bytes; a transfer
    // younger than the window is never too slow. 1024 B/s over 60 s by default; 0 turns it off.
    void setMinimumSpeed(long bytesPerSecond, long seconds);
    // The player's own limit on the pace of every transfer, in bytes per second; 0 (the default)
    // sets none. The speed guard never ends a transfer that this limit alone holds back.
    void setMaximumSpeed(long long bytesPerSecond);
    // A transfer not whole this many seconds after its connection fails ("not whole within <N> s"),
    // however steadily it trickles; 0 (the default) sets no such limit.
    void setWholeWithin(long seconds);

private:
    void performGet(const std::string& url, const Sink& sink, const Resume& resume);

    struct Impl;
    std::unique_ptr<Impl> d;
};

// Whether `text` may go into If-Range: a short, printable strong entity tag ("\"abc\"") or an HTTP
// date ("Sun, 06 Nov 1994 08:49:37 GMT"). Anything else, line breaks above all, never reaches a
// request.
bool isResumeValidator(std::string_view text);

// The address as the log may show it: without a user name and password ("http://u:p@host/x" gives
// "http://host/x"), which a mirror's address may carry.
std::string addressForLog(std::string_view address);

// Whether the server is there but too busy to serve now: 503 or 429, or a connection it accepted
// and closed without an answer (what an overloaded server does). Busy is not broken: such a
// download is tried again, with growing waits, for as long as a slot may wait.
bool serverIsBusy(const HttpClient::Failure& failure);

// Whether nobody answers at the address at all (the connection refused, the host not found): such
// an address is tried again at most once, and a slot whose every address is dead gives up soon.
bool addressIsDead(const HttpClient::Failure& failure);
// Whether no server answered at all: a dead address, or a connection that timed out.
bool nothingAnswered(const HttpClient::Failure& failure);

// Whether the same request may succeed when tried again a moment later: the network's failures
// and an overloaded server's.
bool mayPassIfRetried(const HttpClient::Failure& failure);

// The document of an address: the last path segment, "\\" read as "/", a "#" fragment cut off, a
// "?" query kept. An address ending in "/" or with nothing after its host has an empty document.
std::string documentName(const std::string& url);

} // namespace updater
