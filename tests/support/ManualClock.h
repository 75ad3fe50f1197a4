#pragma once

#include "platform/Clock.h"

#include <atomic>

namespace updater::test {

// A clock that moves only when the test says so. It starts where a freshly booted machine's
// steady clock stands, at its epoch, unless told otherwise.
class ManualClock final : public Clock
{
public:
    explicit ManualClock(TimePoint start = TimePoint{}) : m_ticks(start.time_since_epoch().count()) {}

    TimePoint now() const override { return TimePoint(Duration(m_ticks.load())); }
    void advance(Duration by) { m_ticks += by.count(); }

private:
    std::atomic<Duration::rep> m_ticks;
};

} // namespace updater::test
