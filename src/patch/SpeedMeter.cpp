#include "patch/SpeedMeter.h"

#include <algorithm>

namespace updater {

namespace {

// Recent enough to follow a changing line, long enough not to jump with every piece.
constexpr Clock::Duration Window = std::chrono::seconds(5);
// The first moments of a transfer say little about its speed.
constexpr Clock::Duration Shortest = std::chrono::seconds(1);

} // namespace

void SpeedMeter::counted(int64_t total)
{
    const Clock::TimePoint now = m_clock.now();
    if (!m_lastCount) {
        m_samples.push_back({m_flowing, m_bytes});
    } else {
        m_flowing += now - m_lastTime;
        m_bytes += std::max<int64_t>(total - *m_lastCount, 0);
        m_samples.push_back({m_flowing, m_bytes});
        while (m_samples.size() > 2 && m_samples[1].flowing <= m_flowing - Window)
            m_samples.pop_front();
    }
    m_lastCount = total;
    m_lastTime = now;
}

int64_t SpeedMeter::bytesPerSecond() const
{
    if (m_samples.size() < 2)
        return 0;
    const Clock::Duration span = m_samples.back().flowing - m_samples.front().flowing;
    if (span < Shortest)
        return 0;
    const int64_t bytes = m_samples.back().bytes - m_samples.front().bytes;
    return bytes * 1000 / std::chrono::duration_cast<std::chrono::milliseconds>(span).count();
}

} // namespace updater
