#include "platform/UserFolders.h"

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace updater {

std::string userCacheFolder(std::string_view program)
{
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        return std::string(cache) + "/" + std::string(program);
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.cache/" + std::string(program);
}

std::optional<std::string> privateTemporaryFolder(std::string_view program)
{
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error)
        return std::nullopt;
    const std::string folder =
        (temporary / (std::string(program) + "-" + std::to_string(::getuid()))).string();
    ::mkdir(folder.c_str(), 0700);
    struct stat status
    {
    };
    if (::lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::getuid() ||
        (status.st_mode & 077) != 0)
        return std::nullopt;
    return folder;
}

} // namespace updater
