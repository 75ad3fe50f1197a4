#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace updater {

// What identifies a file's content: its size in bytes and its SHA-256 in lowercase hex.
struct FileDigest
{
    std::uint64_t size = 0;
    std::string sha256;
};

// The SHA-256 of the bytes, in lowercase hex.
std::string sha256Hex(std::string_view bytes);

// Reads the file in chunks, so a game archive need not fit in memory. Nothing when the file cannot
// be opened or read to its end (also for a folder).
std::optional<FileDigest> digestFile(const std::string& path);

} // namespace updater
