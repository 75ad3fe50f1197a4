#pragma once

#include <cstdint>
#include <optional>

namespace updater {

class StopFlag;

// Waits for a non-blocking connect on `fd` to finish, looking at the stop flag every tenth of a
// second. Returns the connect's error (0 for success), or ETIMEDOUT once the tick count
// `deadline` has passed; raises NetworkError("Stopped") when a stop is requested.
int waitForConnect(int fd, std::optional<uint32_t> deadline, const StopFlag* stop);

} // namespace updater
