#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace updater {

// Asks a worker to give up what it is doing. Set by the thread that owns the worker, read by the
// worker's blocking calls, which then end early with an error instead of waiting out their
// time-outs.
class StopFlag
{
public:
    void request()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_requested.store(true, std::memory_order_relaxed);
        }
        m_changed.notify_all();
    }
    bool requested() const { return m_requested.load(std::memory_order_relaxed); }
    void reset() { m_requested.store(false, std::memory_order_relaxed); }

    // Waits for the duration, or less when a stop is requested meanwhile; true when it was.
    template <class Rep, class Period> bool waitFor(std::chrono::duration<Rep, Period> duration) const
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, duration, [this] { return requested(); });
    }

private:
    std::atomic<bool> m_requested{false};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
};

} // namespace updater
