#include "platform/UserFolders.h"

#include <cstdlib>

namespace updater {

std::string userCacheFolder(std::string_view program)
{
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        return std::string(cache) + "/" + std::string(program);
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.cache/" + std::string(program);
}

} // namespace updater
