#include "platform/Clock.h"

#include "platform/StopFlag.h"

#include <thread>

namespace updater {

namespace {

class SteadyClock final : public Clock
{
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }

    bool waitFor(Duration duration, const StopFlag* stop) const override
    {
        if (!stop) {
            std::this_thread::sleep_for(duration);
            return false;
        }
        return stop->waitFor(duration);
    }
};

} // namespace

const Clock& Clock::steady()
{
    static const SteadyClock clock;
    return clock;
}

} // namespace updater
