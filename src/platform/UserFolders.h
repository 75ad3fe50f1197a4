#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace updater {

// The user's own cache folder for a program (${XDG_CACHE_HOME:-$HOME/.cache}/program): never a
// shared folder such as /tmp, where another user could plant or read what is kept. Not made here.
std::string userCacheFolder(std::string_view program);

// A folder of the user's own in the system's temporary folder (<tmp>/program-<uid>), made when
// missing: nothing when it cannot be made, or when what stands there is not a folder that only
// this user owns and may enter (another user could have planted it).
std::optional<std::string> privateTemporaryFolder(std::string_view program);

} // namespace updater
