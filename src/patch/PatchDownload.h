#pragma once

#include "platform/Clock.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
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
    // A server's Retry-After lengthens the wait, up to this.
    std::chrono::milliseconds longestRetryAfter{std::chrono::seconds(60)};
    // A slot where no address so far answered at all (nothingAnswered) tries no further address,
    // and no further time, once this long has passed since it began, however many mirrors are left.
    std::chrono::milliseconds deadSlotBudget{std::chrono::minutes(2)};

    // A busy server (serverIsBusy) is waited for: after every address of a slot answered busy,
    // a wait drawn evenly between nothing and the backoff, which starts here and doubles up to
    // busyLongestWait, but never under a floor drawn between half of busyFirstWait and all of it;
    // a Retry-After over that floor counts instead, up to busyLongestRetryAfter. A slot waits
    // so for at most busySlotTime before it fails. Half a minute at most between tries: with a
    // minute, the last launchers of a patch day slept while the origin had room (bench/patchday).
    std::chrono::milliseconds busyFirstWait{std::chrono::seconds(2)};
    std::chrono::milliseconds busyLongestWait{std::chrono::seconds(30)};
    std::chrono::milliseconds busyLongestRetryAfter{std::chrono::minutes(10)};
    std::chrono::milliseconds busySlotTime{std::chrono::minutes(30)};
    // After this long of waiting for a busy server, the player is asked whether to wait on.
    std::chrono::milliseconds busyQuestionAfter{std::chrono::minutes(1)};
    // A number drawn evenly from [0, 1): the full jitter that keeps launchers from coming back in
    // step. Tests give a fixed one.
    std::function<double()> jitter;
};

// Where the download of `target` keeps what arrived so far, and what the answer it came from said
// (its ETag or Last-Modified), until the archive is whole.
struct PartFiles
{
    explicit PartFiles(const std::string& target);
    void remove() const;

    std::string part;
    std::string validator;
};

// A second of a wait before a download tries again: the seconds left (0 when the next attempt
// begins), and whether it waits for a busy server.
struct RetryWait
{
    int seconds = 0;
    bool busy = false;
};

// What a slot does next while every address answers busy.
enum class BusyChoice { Wait, GiveUp, GoOnWithout };

// How long a slot has been at its busy servers, and whether that is long enough to ask the player
// (RetryTiming::busyQuestionAfter).
struct BusyTime
{
    Clock::Duration waited{};
    bool timeToAsk = false;
};

// The player chose to go on without the archive for now, while its servers were busy.
struct DownloadPostponed : std::runtime_error
{
    DownloadPostponed() : std::runtime_error("postponed while the server was busy") {}
};

struct DownloadWatch
{
    const StopFlag* stop = nullptr; // ends a wait before a retry at once
    std::function<void(RetryWait)> retrying;
    const Clock* clock = nullptr; // what the waits are measured with; null for the steady clock
    // Why a body longer than the largest fails: past an integrity line's size the archive is not
    // the one named; without one, past a cap it is no patch.
    std::string tooLarge = "size does not match";
    // Where nobody answered, no retry begins after this (the slot's time for silent addresses).
    std::optional<Clock::TimePoint> noRetryAfter;
    // Asked before each wait for busy servers, with how long the slot has been at it; none: wait.
    // GiveUp fails the slot as busy for too long; GoOnWithout throws DownloadPostponed.
    std::function<BusyChoice(BusyTime)> whileBusy;
    // Before the first byte of an answer is written: what is still to come, and the whole
    // archive's size, when the answer announces its length. May throw (NotEnoughRoom) to refuse.
    std::function<void(uint64_t stillToCome, uint64_t whole)> beforeWriting;
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
// UpdaterError) on any failure; a stop, in a transfer or a wait, leaves the client's last failure of
// kind Stopped.
//
// A busy answer (serverIsBusy) is not tried again here: it fails at once, keeping what arrived,
// for downloadFromAddresses to move on and come back.
void downloadToFile(HttpClient& http, const std::string& url, const std::string& target,
                    uint64_t largest = UINT64_MAX, const DownloadWatch& watch = {});

// Fetches the one document that `addresses` all offer (its own address first, then its mirrors)
// into `target`, as downloadToFile does for each. A busy address hands over to the next at once;
// once every address still in play answered busy, the slot waits (RetryTiming's busy rules) and
// goes round again. An address that failed otherwise is out. `failed` hears of every failure, with
// the address's index, while the client still holds it. Throws when no address is left, when the
// busy time is over, or when no address has answered at all for deadSlotBudget.
void downloadFromAddresses(HttpClient& http, const std::vector<std::string>& addresses,
                           const std::string& target, uint64_t largest, const DownloadWatch& watch,
                           const std::function<void(size_t index)>& failed);

// The mirrors in the order this game folder asks them: shuffled by `seed` (the folder's own random
// number), so that launchers spread over the mirrors, and the same on every start, so that a
// resumed part goes back to the mirror it came from.
std::vector<std::string> mirrorOrder(std::vector<std::string> mirrors, uint64_t seed);

} // namespace updater
