#pragma once

#include <cstdint>
#include <optional>

namespace updater {

class StopFlag;

// What a socket is waited for.
enum class SocketReadiness { Readable, Writable };

// The one wait of the network code: until the socket `fd` is ready (or has an error queued), the
// tick count `deadline` (when given) has passed, or a stop is requested; the stop is looked at
// every tenth of a second. True when the socket is ready, with `errorQueued` telling whether an
// error came with it; false when the deadline passed. Raises StoppedError on a stop and
// NetworkError when the wait itself fails.
bool waitForSocket(int fd, SocketReadiness readiness, std::optional<uint32_t> deadline, const StopFlag* stop,
                   bool& errorQueued);

} // namespace updater
