#pragma once

#include "platform/StopFlag.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace updater::test {

// Requests a stop from another thread, the way the window does while a worker blocks in a network
// call: once `condition` holds, looked at every few milliseconds. Gives up, without requesting,
// when it goes first.
class StopLater
{
public:
    StopLater(StopFlag& flag, std::function<bool()> condition)
        : m_thread([this, &flag, condition = std::move(condition)] {
              while (!m_gone && !condition())
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              if (!m_gone)
                  flag.request();
          })
    {}
    ~StopLater()
    {
        m_gone = true;
        m_thread.join();
    }
    StopLater(const StopLater&) = delete;
    StopLater& operator=(const StopLater&) = delete;

private:
    std::atomic<bool> m_gone = false;
    std::thread m_thread;
};

} // namespace updater::test
