#pragma once

#include <chrono>

namespace updater {

// The monotonic time that pacing and waiting rules read. Code that decides by elapsed time takes
// a Clock, so that tests drive time instead of sleeping and nothing depends on how long the
// machine has been up.
class Clock
{
public:
    using Duration = std::chrono::steady_clock::duration;
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;

    // The machine's steady clock, the one the program uses.
    static const Clock& steady();
};

} // namespace updater
