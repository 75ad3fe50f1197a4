#pragma once

#include "platform/Clock.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace updater {

class HttpClient;
class StopFlag;

// How long a download waits before it tries again after a failure that may pass.
struct RetryTiming
{
    // One wait per retry, so also the number of retries.
    std::vector<std::chrono::milliseconds> waits{std::chrono::seconds(1), std::chrono::seconds(4),
                                                 std::chrono::seconds(16)};
    // A server's Retry-After replaces the wait, up to this.
    std::chrono::milliseconds longestRetryAfter{std::chrono::seconds(60)};
    // A slot where no address so far answered at all (nothingAnswered) tries no further address,
    // and no further time, once this long has passed since it began, however many mirrors are left.
    std::chrono::milliseconds deadSlotBudget{std::chrono::minutes(2)};
};
const RetryTiming& retryTimingInUse();
// Tests shorten the waits; nothing else calls it.
void setRetryTimingForTest(const RetryTiming& timing);

// Where the download of `target` keeps what arrived so far, and what the answer it came from said
// (its ETag or Last-Modified), until the archive is whole.
struct PartFiles
{
    explicit PartFiles(const std::string& target);
    void remove() const;

    std::string part;
    std::string validator;
};

struct DownloadWatch
{
    const StopFlag* stop = nullptr; // ends a wait before a retry at once
    // Each second of a wait before a retry, with the seconds left; 0 when the next attempt begins.
    std::function<void(int seconds)> retrying;
    const Clock* clock = nullptr; // what the waits are measured with; null for the steady clock
    // Why a body longer than the largest fails: past an integrity line's size the archive is not
    // the one named; without one, past a cap it is no patch.
    std::string tooLarge = "size does not match";
    // Where nobody answered, no retry begins after this (the slot's time for silent addresses).
    std::optional<Clock::TimePoint> noRetryAfter;
};

// Fetches the address into `target` + ".part" while it arrives and renames it to `target` once
// complete, so memory stays flat and no half archive ever has the target's name.
//
// A refused or reset connection, a time-out, an answer cut short and an answer 500, 502, 503 or 504
// are tried again after the waits of RetryTiming; anything else fails at once. What arrived of
// a transfer that stopped part-way stays in the ".part" file, with the ETag or Last-Modified of
// its answer in `target` + ".part.validator", and the next attempt (a retry, or a later run)
// asks only for the rest: a 206 from that byte on is appended, a 200 (the server's copy
// changed) starts over. A failure that no retry can mend removes both files.
//
// A body longer than `largest` bytes fails at once with the watch's tooLarge, so that no patch can
// fill the disk. An address where nobody answers (addressIsDead) is tried at most twice. Throws (HttpError,
// UpdaterError) on any failure; HttpError("Stopped") when the stop flag ends a wait.
void downloadToFile(HttpClient& http, const std::string& url, const std::string& target,
                    uint64_t largest = UINT64_MAX, const DownloadWatch& watch = {});

} // namespace updater
