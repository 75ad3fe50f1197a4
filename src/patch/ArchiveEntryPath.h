#pragma once

#include <optional>
#include <string>

namespace updater {

class GamePathResolver;

// Where an archive entry may be written: its stored name with '\' read as '/', resolved against
// the game folder without regard to letter case. Returns nothing for a name that could reach
// outside the game folder: empty, absolute, with a drive letter or with a ".." component.
std::optional<std::string> entryDestination(const std::string& storedName, GamePathResolver& resolver);

// Tells the resolver that the entry's file and every folder on its way now exist.
void noteEntryWritten(const std::string& destination, GamePathResolver& resolver);

// True when an existing folder on the way to `path` (relative to the game folder) is a symbolic
// link, which extraction must never follow.
bool passesThroughLink(const std::string& path);

// Creates the folders of a relative path that do not exist yet; false when one cannot be made.
bool makeFolders(const std::string& path);

} // namespace updater
