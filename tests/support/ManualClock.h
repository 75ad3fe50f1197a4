#pragma once

#include "platform/Clock.h"
#include "platform/StopFlag.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace updater::test {

// A clock that moves only when the test says so, or when code waits on it: a wait passes at once
// and moves the clock on by its length (unless a stop was requested before), and is recorded. It
// starts where a freshly booted machine's steady clock stands, at its epoch, unless told
// otherwise.
class ManualClock final : public Clock
{
public:
    explicit ManualClock(TimePoint start = TimePoint{}) : m_ticks(start.time_since_epoch().count()) {}

    TimePoint now() const override { return TimePoint(Duration(m_ticks.load())); }
    void advance(Duration by) { m_ticks += by.count(); }

    bool waitFor(Duration duration, const StopFlag* stop) const override
    {
        if (stop && stop->requested())
            return true;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_waits.push_back(duration);
        }
        m_ticks += duration.count();
        return stop && stop->requested();
    }

    // The waits so far, in order.
    std::vector<Duration> waits() const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_waits;
    }

private:
    mutable std::atomic<Duration::rep> m_ticks;
    mutable std::mutex m_mutex;
    mutable std::vector<Duration> m_waits;
};

} // namespace updater::test
