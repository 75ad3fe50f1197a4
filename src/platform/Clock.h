#pragma once

#include <chrono>

namespace updater {

class StopFlag;

// The monotonic time that pacing and waiting rules read, and the one stop-aware wait. Code that
// decides by elapsed time or waits takes a Clock, so that tests drive time instead of sleeping
// and nothing depends on how long the machine has been up or how busy it is.
class Clock
{
public:
    using Duration = std::chrono::steady_clock::duration;
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
    // Waits for the duration, or less when `stop` (may be null) is requested meanwhile; true when
    // the stop ended the wait.
    virtual bool waitFor(Duration duration, const StopFlag* stop) const = 0;

    // The machine's steady clock, the one the program uses.
    static const Clock& steady();
};

} // namespace updater
