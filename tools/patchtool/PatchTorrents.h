#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace patchtool {

// A .torrent the launcher may fetch is read up to this size, as the launcher reads it.
constexpr uint64_t LargestTorrent = 8 * 1024 * 1024;

// Where the torrent's pieces and the archive's bytes part: nothing when every piece's SHA-1 matches,
// otherwise "piece N of M differs from the archive" (counted from 1), or why they cannot be compared.
std::optional<std::string> piecesDiffer(std::string_view torrent, const std::string& archivePath);

} // namespace patchtool
