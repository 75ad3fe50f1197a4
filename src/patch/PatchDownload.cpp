#include "patch/PatchDownload.h"

#include "patch/SlotRoom.h"
#include "patch/TestHooks.h"

#include "net/HttpClient.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/EventLog.h"
#include "platform/FileOps.h"
#include "platform/StopFlag.h"
#include "platform/UpdaterError.h"

#include <algorithm>
#include <random>
#include <utility>

namespace updater {

namespace {

RetryTiming& retryTiming()
{
    static RetryTiming timing;
    return timing;
}

// What If-Range may carry: a strong ETag, else the date; nothing when neither is fit to send.
std::string validatorOf(const HttpClient::ReplyHeaders& headers)
{
    if (isResumeValidator(headers.etag))
        return headers.etag;
    return isResumeValidator(headers.lastModified) ? headers.lastModified : std::string();
}

// The validator kept beside a part file, read only from a file of its own (never through a link)
// and only when it is fit to send.
std::string keptValidator(const PartFiles& files)
{
    constexpr uint64_t Largest = 1024;
    std::string validator;
    if (readOwnFile(files.validator, validator, Largest) != OwnFileRead::Read ||
        !isResumeValidator(validator))
        return {};
    return validator;
}

// One GET, resuming what an earlier one left in the part file.
void attempt(HttpClient& http, const std::string& url, const std::string& target, const PartFiles& files,
             uint64_t largest, const DownloadWatch& watch)
{
    const std::string& tooLarge = watch.tooLarge;
    HttpClient::Resume resume;
    // A part behind a link is not resumed: the link goes, with whatever it pointed at left alone.
    const auto partSize =
        entryKind(files.part) == EntryKind::RegularFile ? regularFileSize(files.part) : std::nullopt;
    resume.validator = keptValidator(files);
    if (!resume.validator.empty() && partSize && *partSize > 0 && *partSize <= largest)
        resume.from = *partSize;
    else
        files.remove();

    GrowingFile file(target);
    uint64_t received = resume.from;
    // Whether the answer continues the part is known once its header block is in.
    const auto open = [&] {
        const HttpClient::ReplyHeaders headers = http.lastReplyHeaders();
        const bool continues = resume.from > 0 && http.lastReplyCode() == 206;
        if (continues && headers.rangeStart != static_cast<long long>(resume.from))
            throw UpdaterError("invalid answer");
        // An announced body past the cap fails before a byte of it is written.
        const uint64_t before = continues ? resume.from : 0;
        if (headers.contentLength >= 0 && before + static_cast<uint64_t>(headers.contentLength) > largest)
            throw UpdaterError(tooLarge);
        if (headers.contentLength >= 0 && watch.beforeWriting)
            watch.beforeWriting(static_cast<uint64_t>(headers.contentLength),
                                before + static_cast<uint64_t>(headers.contentLength));
        file.open(files.part, continues);
        if (continues)
            return;
        received = 0;
        // Truncated first, so that a validator never goes with bytes of another copy.
        const std::string validator = validatorOf(headers);
        if (validator.empty())
            removeFile(files.validator);
        else
            writeFileAtomically(files.validator, validator);
    };
    bool partWasWhole = false;
    try {
        http.get(
            url,
            [&](const char* data, size_t size) {
                if (!file.isOpen())
                    open();
                received += size;
                if (received > largest)
                    throw UpdaterError(tooLarge);
                file.write(data, size);
            },
            resume);
    } catch (const HttpError&) {
        // Killed between the part's last byte and its rename: the server has nothing past its end.
        partWasWhole = resume.from > 0 && http.lastReplyCode() == 416 &&
                       http.lastReplyHeaders().completeLength == static_cast<long long>(resume.from);
        if (!partWasWhole)
            throw;
    }
    if (!partWasWhole) {
        if (!file.isOpen())
            open(); // an empty body
        file.close();
    }
    if (!replaceFile(files.part, target))
        throw UpdaterError("Cannot create file " + target);
    removeFile(files.validator);
}

// Waits before a retry, telling each second of it; false when the stop flag ended the wait.
bool waitBeforeRetry(Clock::Duration wait, const DownloadWatch& watch, bool busy = false)
{
    const Clock& clock = watch.clock ? *watch.clock : Clock::steady();
    const auto end = clock.now() + wait;
    for (auto now = clock.now(); now < end; now = clock.now()) {
        const auto left = std::chrono::ceil<std::chrono::seconds>(end - now);
        if (watch.retrying)
            watch.retrying({static_cast<int>(left.count()), busy});
        // Until the count shown next: where the seconds left drop by one.
        const auto untilNext = (end - now) - (left - std::chrono::seconds(1));
        if (clock.waitFor(untilNext, watch.stop))
            return false;
    }
    if (watch.retrying)
        watch.retrying({0, busy});
    return true;
}

double drawJitter(const RetryTiming& timing)
{
    if (timing.jitter)
        return timing.jitter();
    thread_local std::mt19937_64 generator{std::random_device{}()};
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}

// The wait after round `round` (0 first) of busy answers: full jitter under a doubling cap, never
// under a jittered floor of half to all of the first wait, or the server's own Retry-After where it
// asks for longer than that floor. A Retry-After of 0 means "soon", not "now": taken as it stands,
// one launcher sent hundreds of requests a second, and a patch day's crowd would flood the server.
Clock::Duration busyWait(const RetryTiming& timing, int round, int retryAfterSeconds)
{
    const Clock::Duration floor =
        std::chrono::duration_cast<Clock::Duration>(timing.busyFirstWait * (1 + drawJitter(timing)) / 2);
    if (retryAfterSeconds >= 0 && std::chrono::seconds(retryAfterSeconds) > floor)
        return std::min<Clock::Duration>(std::chrono::seconds(retryAfterSeconds),
                                         timing.busyLongestRetryAfter);
    Clock::Duration cap = timing.busyFirstWait;
    for (int i = 0; i < round && cap < timing.busyLongestWait; ++i)
        cap *= 2;
    cap = std::min<Clock::Duration>(cap, timing.busyLongestWait);
    return std::max(floor, std::chrono::duration_cast<Clock::Duration>(cap * drawJitter(timing)));
}

} // namespace

const RetryTiming& retryTimingInUse()
{
    return retryTiming();
}

void setRetryTimingForTest(const RetryTiming& timing)
{
    retryTiming() = timing;
}

void downloadToFile(HttpClient& http, const std::string& url, const std::string& target, uint64_t largest,
                    const DownloadWatch& watch)
{
    const PartFiles files(target);
    const RetryTiming& timing = retryTiming();
    for (size_t retry = 0;; ++retry) {
        try {
            attempt(http, url, target, files, largest, watch);
            return;
        } catch (const HttpError&) {
            const HttpClient::Failure failure = http.lastFailure();
            const bool stopped = failure.kind == HttpClient::Failure::Kind::Stopped;
            if (!mayPassIfRetried(failure) && !stopped) {
                files.remove();
                throw;
            }
            // What arrived stays for the next attempt, in this run or a later one, when it can be
            // resumed at all.
            if (!fileExists(files.validator))
                files.remove();
            if (stopped || serverIsBusy(failure) || retry >= timing.waits.size() ||
                (addressIsDead(failure) && retry >= 1))
                throw;
            const Clock& clock = watch.clock ? *watch.clock : Clock::steady();
            if (nothingAnswered(failure) && watch.noRetryAfter && clock.now() >= *watch.noRetryAfter)
                throw;
            const int retryAfter =
                failure.kind == HttpClient::Failure::Kind::Status ? http.lastReplyHeaders().retryAfter : -1;
            // A Retry-After lengthens the wait, never shortens it: 0 would retry at once.
            const auto wait = std::max<std::chrono::milliseconds>(
                timing.waits[retry],
                std::min<std::chrono::milliseconds>(std::chrono::seconds(std::max(retryAfter, 0)),
                                                    timing.longestRetryAfter));
            if (!waitBeforeRetry(wait, watch))
                http.raiseStopped();
        } catch (const NotEnoughRoom&) {
            throw; // what arrived before stays for the start that has the room
        } catch (...) {
            files.remove();
            throw;
        }
    }
}

PartFiles::PartFiles(const std::string& target) : part(target + ".part"), validator(part + ".validator") {}

void PartFiles::remove() const
{
    removeFile(part);
    removeFile(validator);
}

void downloadFromAddresses(HttpClient& http, const std::vector<std::string>& addresses,
                           const std::string& target, uint64_t largest, const DownloadWatch& watch,
                           const std::function<void(size_t index)>& failed)
{
    const RetryTiming& timing = retryTiming();
    const Clock& clock = watch.clock ? *watch.clock : Clock::steady();
    const Clock::TimePoint began = clock.now();
    DownloadWatch each = watch;
    each.noRetryAfter = began + timing.deadSlotBudget;
    std::vector<bool> out(addresses.size(), false);
    bool anyAnswered = false, tried = false;
    for (int round = 0;; ++round) {
        bool anyBusy = false;
        int retryAfter = -1;
        for (size_t i = 0; i < addresses.size(); ++i) {
            if (out[i])
                continue;
            // Fifty dead mirrors must not hold a player for a quarter of an hour.
            if (tried && !anyAnswered && clock.now() - began >= timing.deadSlotBudget)
                throw HttpError("no address answered");
            tried = true;
            try {
                downloadToFile(http, addresses[i], target, largest, each);
                return;
            } catch (const HttpError&) {
                const HttpClient::Failure failure = http.lastFailure();
                if (failed)
                    failed(i);
                if (failure.kind == HttpClient::Failure::Kind::Stopped)
                    throw;
                anyAnswered = anyAnswered || !nothingAnswered(failure);
                if (serverIsBusy(failure)) {
                    anyBusy = true;
                    retryAfter = std::max(retryAfter, http.lastReplyHeaders().retryAfter);
                } else {
                    out[i] = true;
                }
            }
        }
        if (!anyBusy)
            throw HttpError("no address left");
        // Every address in play is busy: back at the start of the order, the slot waits.
        const Clock::Duration wait = busyWait(timing, round, retryAfter);
        const Clock::Duration busyFor = clock.now() - began;
        const BusyChoice choice = watch.whileBusy
                                      ? watch.whileBusy({busyFor, busyFor >= timing.busyQuestionAfter})
                                      : BusyChoice::Wait;
        if (choice == BusyChoice::GoOnWithout)
            throw DownloadPostponed();
        if (choice == BusyChoice::GiveUp || clock.now() + wait - began > timing.busySlotTime)
            throw HttpError("busy for too long");
        logEvent("every address of " + documentName(addresses.front()) + " is busy: waiting " +
                 std::to_string(std::chrono::duration_cast<std::chrono::seconds>(wait).count()) + " s");
        if (!waitBeforeRetry(wait, watch, true))
            http.raiseStopped();
    }
}

std::vector<std::string> mirrorOrder(std::vector<std::string> mirrors, uint64_t seed)
{
    // SplitMix64: the same order from the same seed on every machine and library.
    auto next = [&seed] {
        uint64_t z = (seed += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    };
    for (size_t i = mirrors.size(); i > 1; --i)
        std::swap(mirrors[i - 1], mirrors[next() % i]);
    return mirrors;
}

} // namespace updater
