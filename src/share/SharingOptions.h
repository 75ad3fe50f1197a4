#pragma once

#include <cstdint>
#include <optional>

namespace updater {

// What the player chose for sharing patches, as the session is started with it.
struct SharingOptions
{
    // The port peers reach this computer on; 0: a free one, which the log names.
    uint16_t port = 0;
    // The player's upload limit in kB/s (0: none); without one, uploadLimit()'s default holds.
    std::optional<uint32_t> uploadKilobytesPerSecond;
    // The player's download limit in kB/s (0: none), which the torrent downloads keep as well.
    uint32_t downloadKilobytesPerSecond = 0;
    // Where the session listens; all of the computer's addresses unless a test narrows it.
    const char* listenAddress = "0.0.0.0";
};

// The fewest bytes a second the default leaves for uploads, so that seeding after the download
// still helps the players who are still downloading.
inline constexpr int64_t SmallestDefaultUpload = 64 * 1024;

// Bytes a second the session may upload (0: no limit). The player's limit, if set; otherwise a
// quarter of what the player downloads: of the download limit if one is set, else of the fastest
// download seen so far, never below SmallestDefaultUpload.
int64_t uploadLimit(const SharingOptions& options, int64_t fastestDownloadBytesPerSecond);

} // namespace updater
