#pragma once

#include "platform/StopFlag.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace updater::test {

// Requests a stop from another thread, the way the window does while a worker blocks in a network
// call: once `condition` holds (looked at every few milliseconds), or after a delay where the test
// can observe nothing better; what the test asserts must not depend on which moment that is.
// Gives up, without requesting, when it goes first.
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
    StopLater(StopFlag& flag, std::chrono::milliseconds delay)
        : StopLater(flag, [until = std::chrono::steady_clock::now() + delay] {
              return std::chrono::steady_clock::now() >= until;
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
