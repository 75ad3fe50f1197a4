#include "net/SocketWait.h"

#include "net/IcmpPacket.h"
#include "net/NetErrors.h"
#include "platform/StopFlag.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <string>

namespace updater {

namespace {

// The longest a requested stop waits to be noticed.
constexpr int32_t StopCheckMs = 100;

} // namespace

bool waitForSocket(int fd, SocketReadiness readiness, std::optional<uint32_t> deadline, const StopFlag* stop,
                   bool& errorQueued)
{
    const short events = readiness == SocketReadiness::Readable ? POLLIN : POLLOUT;
    while (true) {
        if (stop && stop->requested())
            throw StoppedError();
        int32_t wait = StopCheckMs;
        if (deadline) {
            const auto remaining = static_cast<int32_t>(*deadline - tickCount());
            if (remaining <= 0)
                return false;
            wait = std::min(remaining, StopCheckMs);
        }
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            throw NetworkError(std::string("poll: ") + std::strerror(errno));
        if (ready > 0) {
            errorQueued = (entry.revents & POLLERR) != 0;
            return true;
        }
    }
}

} // namespace updater
