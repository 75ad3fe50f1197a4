#include "net/ConnectWait.h"

#include "net/IcmpPacket.h"
#include "net/NetErrors.h"
#include "platform/StopFlag.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace updater {

int waitForConnect(int fd, std::optional<uint32_t> deadline, const StopFlag* stop)
{
    constexpr int32_t StopCheckMs = 100;
    while (true) {
        if (stop && stop->requested())
            throw NetworkError("Stopped");
        int32_t wait = StopCheckMs;
        if (deadline) {
            const auto remaining = static_cast<int32_t>(*deadline - tickCount());
            if (remaining <= 0)
                return ETIMEDOUT;
            wait = std::min(remaining, StopCheckMs);
        }
        pollfd entry{fd, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, wait);
        if (ready < 0 && errno != EINTR)
            return errno;
        if (ready > 0) {
            int error = 0;
            socklen_t length = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
                return errno;
            return error;
        }
    }
}

} // namespace updater
