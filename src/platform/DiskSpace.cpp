#include "platform/DiskSpace.h"
#include "platform/TestHooks.h"

#include <atomic>
#include <sys/statvfs.h>

namespace updater {

namespace {

std::atomic<int64_t> reportedForTest{-1};

} // namespace

void setAvailableBytesForTest(std::optional<uint64_t> bytes)
{
    reportedForTest = bytes ? static_cast<int64_t>(*bytes) : -1;
}

std::optional<uint64_t> availableBytes(const std::string& path)
{
    if (const int64_t reported = reportedForTest; reported >= 0)
        return static_cast<uint64_t>(reported);
    struct statvfs fs;
    if (::statvfs(path.c_str(), &fs) != 0)
        return std::nullopt;
    return static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
}

} // namespace updater
