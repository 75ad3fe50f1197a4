#pragma once

#include "platform/Clock.h"

#include <deque>
#include <string>

namespace updater {

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

    // The cause that ends the transfer ("no data for <N> s", "too slow", "not whole within <N> s"),
    // or nothing; `received`
    // counts every byte since start. Before start, nothing is ever too slow.
    std::string check(Clock::TimePoint now, long long received);

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

} // namespace updater
