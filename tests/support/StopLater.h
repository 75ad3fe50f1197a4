#pragma once

#include "platform/StopFlag.h"

#include <chrono>
#include <thread>

namespace updater::test {

// Requests a stop from another thread after a delay, the way the window does while a worker
// blocks in a network call. Joins that thread when it goes.
class StopLater
{
public:
    StopLater(StopFlag& flag, std::chrono::milliseconds delay)
        : m_thread([&flag, delay] {
              std::this_thread::sleep_for(delay);
              flag.request();
          })
    {}
    ~StopLater() { m_thread.join(); }
    StopLater(const StopLater&) = delete;
    StopLater& operator=(const StopLater&) = delete;

private:
    std::thread m_thread;
};

} // namespace updater::test
