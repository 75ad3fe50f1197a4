#include "patch/PatchDownload.h"

#include "net/HttpClient.h"
#include "platform/AtomicFile.h"
#include "platform/StopFlag.h"
#include "platform/UpdaterError.h"

#include <algorithm>
#include <thread>

namespace updater {

namespace {

using Clock = std::chrono::steady_clock;

RetryTiming& retryTiming()
{
    static RetryTiming timing;
    return timing;
}

// Failures that may be gone a moment later: the network's and an overloaded server's.
bool mayPass(const HttpClient::Failure& failure, int code)
{
    if (failure.byStatus)
        return code == 500 || code == 502 || code == 503 || code == 504;
    const std::string& cause = failure.cause;
    return cause == "connection refused" || cause == "connection timed out" || cause == "connection reset" ||
           cause == "too slow" || cause.rfind("no data for ", 0) == 0 ||
           cause == "body shorter than its Content-Length" || cause == "incomplete answer";
}

// One GET into a temporary file, which goes again when it fails.
void attempt(HttpClient& http, const std::string& url, const std::string& target, uint64_t largest)
{
    AtomicFileWriter file(target, ".updater-download-XXXXXX");
    uint64_t received = 0;
    http.get(url, [&](const char* data, size_t size) {
        received += size;
        if (received > largest)
            throw UpdaterError("size does not match");
        file.write(data, size);
    });
    file.commit();
}

// Waits before a retry; false when the stop flag ended the wait.
bool waitBeforeRetry(Clock::duration wait, const DownloadWatch& watch)
{
    const auto end = Clock::now() + wait;
    int shown = -1;
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        if (watch.stop && watch.stop->requested())
            return false;
        const auto left = std::chrono::ceil<std::chrono::seconds>(end - now).count();
        if (watch.retrying && left != shown)
            watch.retrying(shown = static_cast<int>(left));
        std::this_thread::sleep_for(std::min<Clock::duration>(end - now, std::chrono::milliseconds(50)));
    }
    if (watch.retrying)
        watch.retrying(0);
    return !(watch.stop && watch.stop->requested());
}

} // namespace

void setRetryTimingForTest(const RetryTiming& timing)
{
    retryTiming() = timing;
}

void downloadToFile(HttpClient& http, const std::string& url, const std::string& target, uint64_t largest,
                    const DownloadWatch& watch)
{
    const RetryTiming& timing = retryTiming();
    for (size_t retry = 0;; ++retry) {
        try {
            attempt(http, url, target, largest);
            return;
        } catch (const HttpError&) {
            const HttpClient::Failure failure = http.lastFailure();
            if (!mayPass(failure, http.lastReplyCode()) || retry >= timing.waits.size())
                throw;
            const int retryAfter = failure.byStatus ? http.lastReplyHeaders().retryAfter : -1;
            const auto wait = retryAfter >= 0
                                  ? std::min<std::chrono::milliseconds>(std::chrono::seconds(retryAfter),
                                                                        timing.longestRetryAfter)
                                  : timing.waits[retry];
            if (!waitBeforeRetry(wait, watch))
                throw HttpError("Stopped");
        }
    }
}

} // namespace updater
