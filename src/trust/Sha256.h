#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace updater {

class StopFlag;

// What identifies a file's content: its size in bytes and its SHA-256 in lowercase hex.
struct FileDigest
{
    std::uint64_t size = 0;
    std::string sha256;
};

// The SHA-256 of the bytes, in lowercase hex.
std::string sha256Hex(std::string_view bytes);

// Reads the file in chunks, so a game archive need not fit in memory. Nothing when the file cannot
// be opened or read to its end (also for a folder), or when `stop` (may be null) is requested: a
// large archive takes seconds, and a quitting launcher must not wait for it.
std::optional<FileDigest> digestFile(const std::string& path, const StopFlag* stop = nullptr);

} // namespace updater
