#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace updater {

// Bytes an unprivileged user may still write on the file system that holds `path`; nothing when
// that cannot be told.
std::optional<uint64_t> availableBytes(const std::string& path);

} // namespace updater
