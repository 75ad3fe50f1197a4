#include "net/HttpClient.h"

#include "platform/PathText.h"

#include "platform/StopFlag.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
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
constexpr long DefaultStallSeconds = 60;

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

int32_t clampToInt32(long long value)
{
    return static_cast<int32_t>(std::clamp<long long>(value, 0, std::numeric_limits<int32_t>::max()));
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
    long stallSeconds = DefaultStallSeconds;
    std::string lastReplyText;
    int lastReplyCode = 0;

    // State of the request in progress.
    const Sink* sink = nullptr;
    int responseCode = 0;
    bool hasLocation = false;
    bool chunked = false;
    long long contentLength = -1;
    bool bodyStarted = false;
    long long bodyTotal = 0;
    std::exception_ptr callbackError;
    bool stopped = false;

    void resetResponse()
    {
        responseCode = 0;
        hasLocation = false;
        chunked = false;
        contentLength = -1;
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

    void onHeaderLine(std::string_view line)
    {
        if (startsWithNoCase(line, "Location:"))
            hasLocation = true;
        else if (startsWithNoCase(line, "Transfer-Encoding:"))
            chunked = lowerAscii(headerValue(line)).find("chunked") != std::string::npos;
        else if (startsWithNoCase(line, "Content-Length:")) {
            const std::string value(headerValue(line));
            char* end = nullptr;
            const long long length = std::strtoll(value.c_str(), &end, 10);
            if (end != value.c_str() && *end == '\0' && length >= 0)
                contentLength = length;
        }
    }

    // The header block of a final answer is complete: the body transfer begins.
    void onHeadersComplete()
    {
        if (responseCode < 200 && responseCode >= 100)
            return; // an interim answer (100 Continue); the real one follows
        bodyStarted = true;
        bodyTotal = 0;
        // A chunked body announces no total for the whole transfer.
        const int32_t announced = chunked || contentLength < 0 ? 0 : clampToInt32(contentLength);
        if (events.begin)
            events.begin(announced);
    }

    void onBody(const char* data, size_t size)
    {
        if (succeeded() && sink && *sink)
            (*sink)(data, size);
        bodyTotal += static_cast<long long>(size);
        if (events.work)
            events.work(clampToInt32(bodyTotal));
    }

    static size_t headerCallback(char* data, size_t size, size_t count, void* self)
    {
        auto* d = static_cast<Impl*>(self);
        const size_t bytes = size * count;
        try {
            const std::string_view line = trimLineEnd(std::string_view(data, bytes));
            if (d->bodyStarted)
                return bytes; // trailers of a chunked body
            if (startsWithNoCase(line, "HTTP/"))
                d->onStatusLine(line);
            else if (line.empty())
                d->onHeadersComplete();
            else
                d->onHeaderLine(line);
        } catch (...) {
            d->callbackError = std::current_exception();
            return 0;
        }
        return bytes;
    }

    static size_t writeCallback(char* data, size_t size, size_t count, void* self)
    {
        auto* d = static_cast<Impl*>(self);
        const size_t bytes = size * count;
        try {
            d->onBody(data, bytes);
        } catch (...) {
            d->callbackError = std::current_exception();
            return 0; // aborts the transfer
        }
        return bytes;
    }

    bool stopRequested() const { return stopFlag && stopFlag->requested(); }

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
            curl_multi_poll(multi, nullptr, 0, PollMs, nullptr);
        }
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left))
            if (message->msg == CURLMSG_DONE && message->easy_handle == curl)
                result = message->data.result;
        curl_multi_remove_handle(multi, curl);
        return result;
    }

    void configure()
    {
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(curl, CURLOPT_PROXY, ""); // never a proxy from the environment
        curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
        // One cached connection: a request to another host or port closes the previous one.
        curl_easy_setopt(curl, CURLOPT_MAXCONNECTS, 1L);
        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Impl::headerCallback);
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Impl::writeCallback);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
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

void HttpClient::setStopFlag(const StopFlag* flag)
{
    d->stopFlag = flag;
}

void HttpClient::setTimeLimits(long connectSeconds, long stallSeconds)
{
    d->connectSeconds = connectSeconds;
    d->stallSeconds = stallSeconds;
}

std::string HttpClient::lastReplyText() const
{
    return d->lastReplyText;
}

int HttpClient::lastReplyCode() const
{
    return d->lastReplyCode;
}

std::string HttpClient::get(const std::string& url)
{
    std::string body;
    get(url, [&body](const char* data, size_t size) { body.append(data, size); });
    return body;
}

void HttpClient::get(const std::string& url, const Sink& sink)
{
    if (d->stopFlag && d->stopFlag->requested())
        throw HttpError("Stopped");
    // Backslashes count as slashes; spaces and 8-bit bytes of file names are sent percent-encoded.
    std::string address = url;
    std::replace(address.begin(), address.end(), '\\', '/');
    UrlHandle parsed;
    if (!parsed.handle || curl_url_set(parsed.handle, CURLUPART_URL, address.c_str(),
                                       CURLU_DEFAULT_SCHEME | CURLU_ALLOW_SPACE | CURLU_URLENCODE |
                                           CURLU_PATH_AS_IS) != CURLUE_OK)
        throw HttpError("Malformed address " + url);
    // No credentials ever leave the launcher, even when an address carries them.
    curl_url_set(parsed.handle, CURLUPART_USER, nullptr, 0);
    curl_url_set(parsed.handle, CURLUPART_PASSWORD, nullptr, 0);
    curl_url_set(parsed.handle, CURLUPART_OPTIONS, nullptr, 0);
    char* host = nullptr;
    if (curl_url_get(parsed.handle, CURLUPART_HOST, &host, 0) != CURLUE_OK || !host)
        throw HttpError("Malformed address " + url);
    const std::string hostHeader = std::string("Host: ") + host;
    curl_free(host);

    // Given as custom headers, these replace curl's own and keep this order; nothing else is sent.
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, hostHeader.c_str());
    headers = curl_slist_append(headers, AcceptHeader);
    headers = curl_slist_append(headers, UserAgentHeader);

    CURL* curl = d->curl;
    curl_easy_setopt(curl, CURLOPT_CURLU, parsed.handle);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, d->connectSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, d->stallSeconds);
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);

    d->sink = &sink;
    d->resetResponse();
    d->bodyStarted = false;
    d->bodyTotal = 0;
    d->callbackError = nullptr;
    d->stopped = false;

    const CURLcode result = d->perform();

    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_CURLU, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_slist_free_all(headers);
    d->sink = nullptr;

    const bool bodyStarted = d->bodyStarted;
    d->bodyStarted = false;
    if (bodyStarted && d->events.end)
        d->events.end();

    if (d->callbackError)
        std::rethrow_exception(std::exchange(d->callbackError, nullptr));
    if (d->stopped)
        throw HttpError("Stopped");
    if (result != CURLE_OK)
        throw HttpError(std::string(errorText[0] ? errorText : curl_easy_strerror(result)) + " (" + url +
                        ")");
    // curl accepts an answer whose header block was cut off by the close; it is not complete.
    if (!bodyStarted)
        throw HttpError("Incomplete answer (" + url + ")");
    if (!d->succeeded())
        throw HttpError("HTTP " + d->lastReplyText + " (" + url + ")");
}

} // namespace updater
