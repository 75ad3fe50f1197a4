#include "net/HttpClient.h"

#include "net/AddressParts.h"
#include "net/ProxySettings.h"
#include "net/SpeedGuard.h"
#include "platform/Clock.h"
#include "platform/EventLog.h"
#include "platform/PathText.h"
#include "platform/StopFlag.h"
#include "platform/UpdaterError.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <exception>
#include <limits>
#include <mutex>
#include <string_view>
#include <utility>

namespace updater {

namespace {

constexpr const char* AcceptHeader = "Accept: text/html, */*";
constexpr const char* UserAgentHeader = "User-Agent: Mozilla/3.0 (compatible; Indy Library)";
constexpr long DefaultConnectSeconds = 30;

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string_view trimLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    return line;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && lowerAscii(text.substr(0, prefix.size())) == lowerAscii(prefix);
}

std::string_view headerValue(std::string_view line)
{
    const auto colon = line.find(':');
    std::string_view value = colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
    return value;
}

// A Content-Length must be plain decimal digits that fit 64 bits; curl itself reads "12abc" as 12
// and an overflowing one as "until the close", either of which would pass a cut body as complete.
bool parseContentLength(std::string_view value, long long& length)
{
    if (value.empty() ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
    return error == std::errc() && end == value.data() + value.size();
}

// "bytes 100-199/200" starts at 100; anything else at -1.
long long rangeStartOf(std::string_view value)
{
    if (!startsWithNoCase(value, "bytes "))
        return -1;
    value.remove_prefix(6);
    long long start = -1;
    const auto dash = value.find('-');
    return dash != std::string_view::npos && parseContentLength(value.substr(0, dash), start) ? start : -1;
}

// The complete length of a Content-Range ("bytes 100-199/200" and "bytes */200": 200); -1 when
// unknown ("/*") or unreadable.
long long completeLengthOf(std::string_view value)
{
    const auto slash = value.rfind('/');
    long long length = -1;
    return startsWithNoCase(value, "bytes ") && slash != std::string_view::npos &&
                   parseContentLength(value.substr(slash + 1), length)
               ? length
               : -1;
}

// Delay-seconds of a Retry-After, capped far above any wait honoured; -1 for an HTTP date.
int secondsOf(std::string_view value)
{
    if (value.empty() ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    long long seconds = 0;
    for (char c : value)
        seconds = std::min<long long>(seconds * 10 + (c - '0'), std::numeric_limits<int>::max());
    return static_cast<int>(seconds);
}

std::string capitalised(std::string text)
{
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

using FailureKind = HttpClient::Failure::Kind;

// What a transfer that curl ended with an error comes to, with a short cause in plain English.
HttpClient::Failure failureOf(CURLcode result, long osError, bool chunked, std::string_view curlText,
                              bool httpAddress)
{
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return {FailureKind::Unreachable, 0, "host not found"};
    case CURLE_COULDNT_CONNECT:
        if (osError == ECONNREFUSED)
            return {FailureKind::Refused, 0, "connection refused"};
        if (osError == ETIMEDOUT)
            return {FailureKind::TimedOut, 0, "connection timed out"};
        return {FailureKind::Unreachable, 0, "connection failed"};
    case CURLE_OPERATION_TIMEDOUT: // the connect limit is the only time limit left to curl
        return {FailureKind::TimedOut, 0, "connection timed out"};
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return {FailureKind::Reset, 0, "connection reset"};
    case CURLE_PARTIAL_FILE:
        return {FailureKind::CutShort, 0,
                chunked ? "incomplete answer" : "body shorter than its Content-Length"};
    case CURLE_GOT_NOTHING:
        return {FailureKind::NoAnswer, 0, "incomplete answer"};
    case CURLE_WEIRD_SERVER_REPLY:
        // curl refuses a negative or non-numeric length itself, before the header callback sees
        // the line, and says so only in its error text.
        return {FailureKind::BadAnswer, 0,
                curlText.find("Content-Length") != std::string_view::npos ? "invalid Content-Length"
                                                                          : "invalid answer"};
    case CURLE_OUT_OF_MEMORY:
        // What curl says of a header line past its limit; a real lack of memory would end more.
        return {FailureKind::BadAnswer, 0, "answer header too long"};
    case CURLE_UNSUPPORTED_PROTOCOL:
        // curl says the same of an answer without a status line (HTTP/0.9) or with a status of
        // more than three digits: the server's fault, not the address's.
        if (httpAddress)
            return {FailureKind::BadAnswer, 0, "invalid answer"};
        return {FailureKind::BadAddress, 0, "not an HTTP address"};
    default:
        return {FailureKind::Other, 0, curl_easy_strerror(result)};
    }
}

// The log names the proxies in use once, when the first request goes out with them (and again only
// if another client of the launcher reads other ones).
void logProxies(const ProxySettings& proxies)
{
    static std::mutex mutex;
    static std::string logged;
    const std::string description = proxies.description();
    std::lock_guard lock(mutex);
    if (description.empty() || description == logged)
        return;
    logged = description;
    logEvent("proxy: " + description);
}

// curl waits only between its reads, and one read takes in up to a hundred buffers of what the
// socket holds: with its usual 16 KiB, the first 1.6 MB of every transfer would pass the limit at
// once. Buffers of a hundredth of the limit keep such a burst to about a second's worth.
long receiveBufferFor(long long maximumSpeed)
{
    constexpr long long Smallest = 1024;             // curl's least
    constexpr long long Usual = CURL_MAX_WRITE_SIZE; // curl's default, 16 KiB
    return static_cast<long>(maximumSpeed > 0 ? std::clamp(maximumSpeed / 100, Smallest, Usual) : Usual);
}

// Owns a parsed address for the duration of one request.
struct UrlHandle
{
    CURLU* handle = curl_url();
    ~UrlHandle() { curl_url_cleanup(handle); }
};

} // namespace

struct HttpClient::Impl
{
    CURL* curl = nullptr;
    // The transfer runs through a multi handle so that the wait for data can be cut short every
    // tenth of a second to look at the stop flag; it also holds the one cached connection.
    CURLM* multi = nullptr;
    WorkEvents events;
    const StopFlag* stopFlag = nullptr;
    long connectSeconds = DefaultConnectSeconds;
    SpeedGuard::Limits speedLimits;
    long long maximumSpeed = 0; // bytes per second; 0: no limit
    // Read once, when the client is made: a client lives for one task of the launcher.
    const ProxySettings proxies = proxiesFromEnvironment();
    std::string lastReplyText;
    int lastReplyCode = 0;
    ReplyHeaders replyHeaders;
    Failure failure;

    // State of the request in progress.
    const Sink* sink = nullptr;
    int responseCode = 0;
    bool hasLocation = false;
    bool chunked = false;
    long long contentLength = -1;
    bool bodyStarted = false;
    bool documentBody = false; // the body is the document's: its work events are reported
    long long bodyTotal = 0;
    long long workOffset = 0; // where the body starts in the whole document (a 206's range)
    std::exception_ptr callbackError;
    bool stopped = false;
    Failure abort; // set when the client's own checks end the transfer

    // Header and body bytes received since the connection, and what judges their pace.
    long long received = 0;
    SpeedGuard speedGuard{speedLimits};

    void resetResponse()
    {
        responseCode = 0;
        hasLocation = false;
        chunked = false;
        contentLength = -1;
        replyHeaders = {};
    }

    bool succeeded() const { return responseCode >= 200 && responseCode <= 299 && !hasLocation; }

    void onStatusLine(std::string_view line)
    {
        resetResponse();
        const auto blank = line.find(' ');
        lastReplyText = blank == std::string_view::npos ? std::string() : std::string(line.substr(blank + 1));
        const std::string_view rest =
            blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
        int code = 0;
        bool numeric = !rest.empty();
        for (char c : rest.substr(0, rest.find(' '))) {
            if (!std::isdigit(static_cast<unsigned char>(c))) {
                numeric = false;
                break;
            }
            code = code * 10 + (c - '0');
            if (code > 999)
                break;
        }
        lastReplyCode = numeric ? code : 0;
        responseCode = lastReplyCode;
    }

    // False when the answer cannot be read and the transfer must end.
    bool onHeaderLine(std::string_view line)
    {
        if (startsWithNoCase(line, "Location:"))
            hasLocation = true;
        else if (startsWithNoCase(line, "Transfer-Encoding:"))
            chunked = lowerAscii(headerValue(line)).find("chunked") != std::string::npos;
        else if (startsWithNoCase(line, "Content-Length:")) {
            // Two different lengths leave the body's end unknown (RFC 9112, 6.3): either could be a
            // cut body passed as whole.
            const long long earlier = contentLength;
            if (!parseContentLength(headerValue(line), contentLength) ||
                (earlier >= 0 && earlier != contentLength)) {
                abort = {FailureKind::BadAnswer, 0, "invalid Content-Length"};
                return false;
            }
        } else if (startsWithNoCase(line, "ETag:"))
            replyHeaders.etag = headerValue(line);
        else if (startsWithNoCase(line, "Last-Modified:"))
            replyHeaders.lastModified = headerValue(line);
        else if (startsWithNoCase(line, "Content-Range:")) {
            replyHeaders.rangeStart = rangeStartOf(headerValue(line));
            replyHeaders.completeLength = completeLengthOf(headerValue(line));
        } else if (startsWithNoCase(line, "Retry-After:"))
            replyHeaders.retryAfter = secondsOf(headerValue(line));
        return true;
    }

    // The header block of a final answer is complete: the body transfer begins.
    void onHeadersComplete()
    {
        if (responseCode < 200 && responseCode >= 100)
            return; // an interim answer (100 Continue); the real one follows
        bodyStarted = true;
        documentBody = succeeded();
        bodyTotal = 0;
        // The rest of a document counts as the whole of it: a resumed archive shows its full size
        // and how much of it is in, not only what this answer brings.
        const bool rest =
            responseCode == 206 && replyHeaders.rangeStart >= 0 && replyHeaders.completeLength > 0;
        workOffset = rest ? replyHeaders.rangeStart : 0;
        // A chunked body announces no total for the whole transfer.
        const int64_t announced = rest                           ? replyHeaders.completeLength
                                  : chunked || contentLength < 0 ? 0
                                                                 : contentLength;
        if (documentBody && events.begin)
            events.begin(announced);
    }

    void onBody(const char* data, size_t size)
    {
        if (succeeded() && sink && *sink)
            (*sink)(data, size);
        bodyTotal += static_cast<long long>(size);
        if (documentBody && events.work)
            events.work(workOffset + bodyTotal);
    }

    static size_t headerCallback(char* data, size_t size, size_t count, void* self)
    {
        auto* d = static_cast<Impl*>(self);
        const size_t bytes = size * count;
        d->received += static_cast<long long>(bytes);
        try {
            const std::string_view line = trimLineEnd(std::string_view(data, bytes));
            if (d->bodyStarted)
                return bytes; // trailers of a chunked body
            if (startsWithNoCase(line, "HTTP/"))
                d->onStatusLine(line);
            else if (line.empty())
                d->onHeadersComplete();
            else if (!d->onHeaderLine(line))
                return 0;
        } catch (...) {
            d->callbackError = std::current_exception();
            return 0;
        }
        return bytes;
    }

    // Called once the connection stands (a new or a reused one), just before the request goes out.
    static int prerequestCallback(void* self, char*, char*, int, int)
    {
        static_cast<Impl*>(self)->startSpeedCheck();
        return CURL_PREREQFUNC_OK;
    }

    static size_t writeCallback(char* data, size_t size, size_t count, void* self)
    {
        auto* d = static_cast<Impl*>(self);
        const size_t bytes = size * count;
        d->received += static_cast<long long>(bytes);
        try {
            d->onBody(data, bytes);
        } catch (...) {
            d->callbackError = std::current_exception();
            return 0; // aborts the transfer
        }
        return bytes;
    }

    bool stopRequested() const { return stopFlag && stopFlag->requested(); }

    // The connect limit covers the time before a connection; the speed is measured from then on.
    void startSpeedCheck()
    {
        received = 0;
        speedGuard.start(Clock::steady().now());
    }

    // Runs the transfer of the easy handle to its end or until a stop is requested.
    CURLcode perform()
    {
        constexpr int PollMs = 100;
        if (curl_multi_add_handle(multi, curl) != CURLM_OK)
            return CURLE_FAILED_INIT;
        CURLcode result = CURLE_OK;
        for (int running = 1; running;) {
            if (curl_multi_perform(multi, &running) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
            if (!running)
                break;
            if (stopRequested()) {
                stopped = true;
                break;
            }
            if (const SpeedVerdict verdict = speedGuard.check(Clock::steady().now(), received);
                verdict.endsTransfer()) {
                abort = {FailureKind::TooSlow, 0, verdict.cause()};
                break;
            }
            curl_multi_poll(multi, nullptr, 0, PollMs, nullptr);
        }
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left))
            if (message->msg == CURLMSG_DONE && message->easy_handle == curl)
                result = message->data.result;
        curl_multi_remove_handle(multi, curl);
        return result;
    }

    [[noreturn]] void fail(Failure why, const std::string& message)
    {
        failure = std::move(why);
        throw HttpError(message);
    }

    void configure()
    {
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
        // One cached connection: a request to another host or port closes the previous one.
        curl_easy_setopt(curl, CURLOPT_MAXCONNECTS, 1L);
        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Impl::headerCallback);
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Impl::writeCallback);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, &Impl::prerequestCallback);
        curl_easy_setopt(curl, CURLOPT_PREREQDATA, this);
    }
};

HttpClient::HttpClient() : d(std::make_unique<Impl>())
{
    initialiseCurlOnce();
    d->curl = curl_easy_init();
    d->multi = curl_multi_init();
    if (!d->curl || !d->multi)
        throw HttpError("Cannot create an HTTP session");
    d->configure();
    curl_multi_setopt(d->multi, CURLMOPT_MAXCONNECTS, 1L);
}

HttpClient::~HttpClient()
{
    curl_multi_cleanup(d->multi);
    curl_easy_cleanup(d->curl);
}

void HttpClient::setWorkEvents(WorkEvents events)
{
    d->events = std::move(events);
}

const HttpClient::WorkEvents& HttpClient::workEvents() const
{
    return d->events;
}

void HttpClient::setStopFlag(const StopFlag* flag)
{
    d->stopFlag = flag;
}

void HttpClient::setTimeLimits(long connectSeconds, long stallSeconds)
{
    d->connectSeconds = connectSeconds;
    d->speedLimits.stallSeconds = stallSeconds;
}

void HttpClient::setWholeWithin(long seconds)
{
    d->speedLimits.wholeSeconds = seconds;
}

void HttpClient::setMinimumSpeed(long bytesPerSecond, long seconds)
{
    d->speedLimits.minimumSpeed = bytesPerSecond;
    d->speedLimits.speedSeconds = seconds;
}

void HttpClient::setMaximumSpeed(long long bytesPerSecond)
{
    d->maximumSpeed = std::max(0LL, bytesPerSecond);
}

void HttpClient::raiseStopped()
{
    d->fail({FailureKind::Stopped, 0, "stopped"}, "Stopped");
}

HttpClient::Failure HttpClient::lastFailure() const
{
    return d->failure;
}

std::string HttpClient::lastReplyText() const
{
    return d->lastReplyText;
}

int HttpClient::lastReplyCode() const
{
    return d->lastReplyCode;
}

HttpClient::ReplyHeaders HttpClient::lastReplyHeaders() const
{
    ReplyHeaders headers = d->replyHeaders;
    headers.contentLength = d->chunked ? -1 : d->contentLength;
    return headers;
}

std::string HttpClient::get(const std::string& url)
{
    std::string body;
    get(url, [&body](const char* data, size_t size) { body.append(data, size); });
    return body;
}

void HttpClient::get(const std::string& url, const Sink& sink)
{
    get(url, sink, Resume{});
}

void HttpClient::get(const std::string& url, const Sink& sink, const Resume& resume)
{
    logProxies(d->proxies);
    // Every request goes into the launcher's log with what came of it.
    const auto started = Clock::steady().now();
    uint64_t bytes = 0;
    const auto logRequest = [&](const std::string& outcome) {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::steady().now() - started).count();
        logEvent("GET " + addressForLog(url) + ": " + outcome + ", " + std::to_string(bytes) + " bytes, " +
                 std::to_string(ms) + " ms");
    };
    try {
        performGet(
            url,
            [&](const char* data, size_t size) {
                bytes += size;
                sink(data, size);
            },
            resume);
    } catch (...) {
        // The status text hides why a 2xx answer was refused.
        const bool refusedForLocation = d->failure.kind == FailureKind::Status && d->hasLocation &&
                                        d->failure.status >= 200 && d->failure.status <= 299;
        logRequest(!d->failure.failed() ? "failed"
                   : refusedForLocation ? d->failure.cause + " with a Location header (not followed)"
                                        : d->failure.cause);
        throw;
    }
    logRequest(d->lastReplyText);
}

void HttpClient::performGet(const std::string& url, const Sink& sink, const Resume& resume)
{
    // Texts of failures reach the log: never with a password of the address.
    const std::string shown = addressForLog(url);
    d->failure = {};
    if (d->stopRequested())
        raiseStopped();
    // Backslashes count as slashes; spaces and 8-bit bytes of file names are sent percent-encoded.
    std::string address = url;
    std::replace(address.begin(), address.end(), '\\', '/');
    UrlHandle parsed;
    if (!parsed.handle || curl_url_set(parsed.handle, CURLUPART_URL, address.c_str(),
                                       CURLU_DEFAULT_SCHEME | CURLU_ALLOW_SPACE | CURLU_URLENCODE |
                                           CURLU_PATH_AS_IS) != CURLUE_OK)
        d->fail({FailureKind::BadAddress, 0, "malformed address"}, "Malformed address " + url);
    // No credentials ever leave the launcher, even when an address carries them.
    curl_url_set(parsed.handle, CURLUPART_USER, nullptr, 0);
    curl_url_set(parsed.handle, CURLUPART_PASSWORD, nullptr, 0);
    curl_url_set(parsed.handle, CURLUPART_OPTIONS, nullptr, 0);
    char* host = nullptr;
    if (curl_url_get(parsed.handle, CURLUPART_HOST, &host, 0) != CURLUE_OK || !host)
        d->fail({FailureKind::BadAddress, 0, "malformed address"}, "Malformed address " + url);
    const std::string hostHeader = std::string("Host: ") + host;
    curl_free(host);
    char* scheme = nullptr;
    const std::string schemeName =
        curl_url_get(parsed.handle, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK && scheme ? lowerAscii(scheme)
                                                                                         : "";
    curl_free(scheme);
    const bool httpAddress = schemeName == "http" || schemeName == "https";

    // Given as custom headers, these replace curl's own and keep this order; nothing else is sent.
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, hostHeader.c_str());
    headers = curl_slist_append(headers, AcceptHeader);
    headers = curl_slist_append(headers, UserAgentHeader);
    // Through a proxy, curl would add a line of its own; an empty one removes it, and without a
    // proxy it sends nothing.
    headers = curl_slist_append(headers, "Proxy-Connection:");
    std::string rangeHeader, ifRangeHeader;
    if (resume.from > 0 && isResumeValidator(resume.validator)) {
        rangeHeader = "Range: bytes=" + std::to_string(resume.from) + "-";
        ifRangeHeader = "If-Range: " + resume.validator;
        headers = curl_slist_append(headers, rangeHeader.c_str());
        headers = curl_slist_append(headers, ifRangeHeader.c_str());
    }

    CURL* curl = d->curl;
    curl_easy_setopt(curl, CURLOPT_CURLU, parsed.handle);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, d->connectSeconds);
    // The proxies as the client read them, never curl's own reading of the environment, so that
    // what the log names is what is used; curl matches the address against the no-proxy list.
    curl_easy_setopt(curl, CURLOPT_PROXY, d->proxies.forScheme(schemeName).c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, d->proxies.noProxy.c_str());
    curl_easy_setopt(curl, CURLOPT_MAX_RECV_SPEED_LARGE, static_cast<curl_off_t>(d->maximumSpeed));
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, receiveBufferFor(d->maximumSpeed));
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);

    d->sink = &sink;
    d->resetResponse();
    d->bodyStarted = false;
    d->documentBody = false;
    d->bodyTotal = 0;
    d->callbackError = nullptr;
    d->stopped = false;
    d->abort = {};
    d->speedGuard = SpeedGuard(limitsUnder(d->speedLimits, d->maximumSpeed));

    const CURLcode result = d->perform();
    long osError = 0;
    curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osError);

    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_CURLU, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_slist_free_all(headers);
    d->sink = nullptr;

    const bool bodyStarted = d->bodyStarted;
    d->bodyStarted = false;
    if (bodyStarted && d->documentBody && d->events.end)
        d->events.end();

    if (d->callbackError) {
        d->failure = {FailureKind::Local, 0, failureText(d->callbackError, "unknown failure")};
        std::rethrow_exception(std::exchange(d->callbackError, nullptr));
    }
    if (d->stopped)
        raiseStopped();
    // A complete header block that refuses the request is the truth, whatever became of its body.
    if (bodyStarted && !d->succeeded()) {
        d->failure = {FailureKind::Status, d->lastReplyCode, d->lastReplyText};
        throw HttpError("HTTP " + d->lastReplyText + " (" + shown + ")");
    }
    if (d->abort.failed()) {
        const std::string message = capitalised(d->abort.cause) + " (" + shown + ")";
        d->fail(std::exchange(d->abort, {}), message);
    }
    if (result != CURLE_OK)
        d->fail(failureOf(result, osError, d->chunked, errorText, httpAddress),
                std::string(errorText[0] ? errorText : curl_easy_strerror(result)) + " (" + shown + ")");
    // curl accepts an answer whose header block was cut off by the close; it is not complete.
    if (!bodyStarted)
        d->fail({FailureKind::CutShort, 0, "incomplete answer"}, "Incomplete answer (" + shown + ")");
}

std::string addressForLog(std::string_view address)
{
    // Read as a request reads it, backslashes as slashes, so that what hides a password is what sends it.
    std::string read(address);
    std::replace(read.begin(), read.end(), '\\', '/');
    const std::optional<AddressParts> parts = splitAddress(read, WithoutScheme::Http);
    if (!parts || !parts->credentials)
        return std::string(address);
    return parts->origin + parts->path + parts->query + parts->fragment;
}

bool serverIsBusy(const HttpClient::Failure& failure)
{
    return failure.kind == FailureKind::NoAnswer ||
           (failure.kind == FailureKind::Status && (failure.status == 503 || failure.status == 429));
}

bool addressIsDead(const HttpClient::Failure& failure)
{
    return failure.kind == FailureKind::Refused || failure.kind == FailureKind::Unreachable;
}

bool nothingAnswered(const HttpClient::Failure& failure)
{
    return addressIsDead(failure) || failure.kind == FailureKind::TimedOut;
}

bool mayPassIfRetried(const HttpClient::Failure& failure)
{
    switch (failure.kind) {
    case FailureKind::Refused:
    case FailureKind::TimedOut:
    case FailureKind::Reset:
    case FailureKind::TooSlow:
    case FailureKind::CutShort:
    case FailureKind::NoAnswer:
        return true;
    case FailureKind::Status:
        return failure.status == 429 || failure.status == 500 || failure.status == 502 ||
               failure.status == 503 || failure.status == 504;
    default:
        return false;
    }
}

bool isResumeValidator(std::string_view text)
{
    constexpr size_t Longest = 128;
    if (text.size() < 2 || text.size() > Longest)
        return false;
    for (const char c : text)
        if (c < 0x20 || c > 0x7e)
            return false;
    if (text.front() == '"')
        return text.back() == '"' && text.substr(1, text.size() - 2).find('"') == std::string_view::npos;
    for (const char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != ' ' && c != ',' && c != ':')
            return false;
    return text.ends_with(" GMT");
}

} // namespace updater
