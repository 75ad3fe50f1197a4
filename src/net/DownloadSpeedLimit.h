#pragma once

#include <cstdint>
#include <string>

namespace updater {

// The player's limit on the pace of every download of a run, in kB/s of 1024 bytes, as the
// window shows speeds; 0 is no limit.
struct DownloadSpeedLimit
{
    uint32_t kilobytesPerSecond = 0;

    long long bytesPerSecond() const { return static_cast<long long>(kilobytesPerSecond) * 1024; }
    // What the log says: "200 kB/s" or "none".
    std::string shown() const
    {
        return kilobytesPerSecond == 0 ? "none" : std::to_string(kilobytesPerSecond) + " kB/s";
    }
};

} // namespace updater
