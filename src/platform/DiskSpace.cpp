#include "platform/DiskSpace.h"

#include <sys/statvfs.h>

namespace updater {

std::optional<uint64_t> availableBytes(const std::string& path)
{
    struct statvfs fs;
    if (::statvfs(path.c_str(), &fs) != 0)
        return std::nullopt;
    return static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
}

} // namespace updater
