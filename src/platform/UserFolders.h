#pragma once

#include <string>
#include <string_view>

namespace updater {

// The user's own cache folder for a program (${XDG_CACHE_HOME:-$HOME/.cache}/program): never a
// shared folder such as /tmp, where another user could plant or read what is kept. Not made here.
std::string userCacheFolder(std::string_view program);

} // namespace updater
