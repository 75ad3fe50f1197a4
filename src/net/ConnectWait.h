#pragma once

#include <cstdint>
#include <optional>

namespace updater {

class StopFlag;

// Opens a TCP connection to `address` (IPv4, network order) and `port` without blocking: the wait
// looks at the stop flag every tenth of a second. Returns the connected socket, or -1 with
// `error` set to the connect's error (ETIMEDOUT once the tick count `deadline` has passed; without
// one, the system's connect time-out ends a silent attempt). Raises StoppedError when a
// stop is requested and NetworkError when no socket can be opened; the socket is then released.
int connectTcp(uint32_t address, int port, std::optional<uint32_t> deadline, const StopFlag* stop,
               int& error);

} // namespace updater
