#pragma once

#include <atomic>

namespace updater {

// Asks a worker to give up what it is doing. Set by the thread that owns the worker, read by the
// worker's blocking calls, which then end early with an error instead of waiting out their
// time-outs.
class StopFlag
{
public:
    void request() { m_requested.store(true, std::memory_order_relaxed); }
    bool requested() const { return m_requested.load(std::memory_order_relaxed); }
    void reset() { m_requested.store(false, std::memory_order_relaxed); }

private:
    std::atomic<bool> m_requested{false};
};

} // namespace updater
