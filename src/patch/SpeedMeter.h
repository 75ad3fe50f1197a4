#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <deque>
#include <optional>

namespace updater {

// How fast the run's downloads go, measured only while bytes flow: the time between transfers (a
// wait for a busy server, an archive unpacking) counts for nothing, and neither do the bytes a
// transfer starts with (a resumed archive's earlier bytes, or those fetched ahead while hidden).
class SpeedMeter
{
public:
    explicit SpeedMeter(const Clock& clock) : m_clock(clock) {}

    // A transfer begins: its first count is where it starts from.
    void transferBegan() { m_lastCount.reset(); }
    // The transfer's running total.
    void counted(int64_t total);
    // Bytes a second over the last seconds of flow; 0 until a second of flow is measured.
    int64_t bytesPerSecond() const;

private:
    struct Sample
    {
        Clock::Duration flowing; // time of flow before this sample
        int64_t bytes;           // bytes that flowed before it
    };

    const Clock& m_clock;
    std::deque<Sample> m_samples;
    Clock::Duration m_flowing{};
    int64_t m_bytes = 0;
    std::optional<int64_t> m_lastCount; // none: the next count is where a transfer starts
    Clock::TimePoint m_lastTime;
};

} // namespace updater
