#include "net/SpeedGuard.h"

#include <algorithm>

namespace updater {

std::string SpeedVerdict::cause() const
{
    switch (kind) {
    case Kind::NotWholeInTime:
        return "not whole within " + std::to_string(seconds) + " s";
    case Kind::Stalled:
        return "no data for " + std::to_string(seconds) + " s";
    case Kind::TooSlow:
        return "too slow";
    case Kind::GoOn:
        break;
    }
    return {};
}

SpeedGuard::Limits limitsUnder(SpeedGuard::Limits limits, long long maximumSpeed)
{
    if (maximumSpeed > 0 && limits.minimumSpeed > maximumSpeed / 2)
        limits.minimumSpeed = std::max(1LL, maximumSpeed / 2);
    return limits;
}

void SpeedGuard::start(Clock::TimePoint now)
{
    m_started = true;
    m_receivedBefore = 0;
    m_lastArrival = now;
    m_connectedAt = now;
    m_samples.assign(1, {now, 0});
}

SpeedVerdict SpeedGuard::check(Clock::TimePoint now, long long received)
{
    if (!m_started)
        return {};
    if (received != m_receivedBefore) {
        m_receivedBefore = received;
        m_lastArrival = now;
    }
    if (m_limits.wholeSeconds > 0 && now - m_connectedAt >= std::chrono::seconds(m_limits.wholeSeconds))
        return {SpeedVerdict::Kind::NotWholeInTime, m_limits.wholeSeconds};
    if (now - m_lastArrival >= std::chrono::seconds(m_limits.stallSeconds))
        return {SpeedVerdict::Kind::Stalled, m_limits.stallSeconds};
    if (m_limits.minimumSpeed <= 0)
        return {};
    if (now - m_samples.back().at >= std::chrono::milliseconds(100))
        m_samples.push_back({now, received});
    const auto window = std::chrono::seconds(m_limits.speedSeconds);
    while (m_samples.size() > 1 && now - m_samples[1].at >= window)
        m_samples.pop_front();
    if (now - m_samples.front().at < window)
        return {};
    const long long inWindow = received - m_samples.front().received;
    if (inWindow == 0)
        return {SpeedVerdict::Kind::Stalled, m_limits.speedSeconds};
    if (inWindow < static_cast<long long>(m_limits.minimumSpeed) * m_limits.speedSeconds)
        return {SpeedVerdict::Kind::TooSlow};
    return {};
}

} // namespace updater
