#pragma once

#include "platform/Clock.h"

#include <deque>
#include <string>

namespace updater {

// What the guard makes of a transfer's pace: go on, or end it for one of three reasons.
struct SpeedVerdict
{
    enum class Kind {
        GoOn,
        NotWholeInTime, // the whole transfer took longer than its limit
        Stalled,        // no byte at all for a while
        TooSlow,        // too few bytes on average over the window
    };
    Kind kind = Kind::GoOn;
    long seconds = 0; // the limit that ended it, for NotWholeInTime and Stalled

    bool endsTransfer() const { return kind != Kind::GoOn; }
    // What the player reads: "not whole within <N> s", "no data for <N> s", "too slow"; empty for
    // GoOn.
    std::string cause() const;
};

// Decides when a transfer is too slow to go on, from the bytes received so far and the time.
// curl's own low-speed limit does not fit: it measures a moving average of only the last few
// seconds and fails when that stays under the limit for the whole time, so a server that sends
// one burst every half minute never trips it although its average over the minute is far too low.
class SpeedGuard
{
public:
    struct Limits
    {
        long stallSeconds = 60;   // no byte at all for this long fails
        long minimumSpeed = 1024; // bytes per second on average over the window; 0: no limit
        long speedSeconds = 60;   // the window
        long wholeSeconds = 0;    // the whole transfer within this long; 0: no limit
    };

    explicit SpeedGuard(const Limits& limits) : m_limits(limits) {}

    // The transfer has its connection: measuring starts now, from nothing received.
    void start(Clock::TimePoint now);

    // Whether the transfer goes on; `received` counts every byte since start. Before start,
    // nothing is ever too slow.
    SpeedVerdict check(Clock::TimePoint now, long long received);

private:
    struct Sample
    {
        Clock::TimePoint at;
        long long received;
    };

    Limits m_limits;
    bool m_started = false;
    long long m_receivedBefore = 0;
    Clock::TimePoint m_lastArrival;
    Clock::TimePoint m_connectedAt;
    // The running totals sampled about ten times a second over the last window; the oldest is at
    // least one window old once the transfer is.
    std::deque<Sample> m_samples;
};

// The limits for a transfer that the player's own speed limit (bytes per second, 0 for none) holds
// back: its minimum speed stays under half that limit, so the guard never ends a transfer for the
// slowness the player asked for, while a server that stalls still fails.
SpeedGuard::Limits limitsUnder(SpeedGuard::Limits limits, long long maximumSpeed);

} // namespace updater
