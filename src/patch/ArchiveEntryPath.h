#pragma once

#include "platform/GamePath.h"

#include <optional>
#include <string>
#include <unordered_set>

namespace updater {

// Whether an archive entry's stored name ('\' read as '/') must never be written: empty, absolute,
// with a drive letter or with a ".." component, so that it could reach outside the game folder, or
// naming one of the launcher's own files (launcherOwnFile), whatever its letter case.
bool isUnsafeEntryName(const std::string& storedName);

// The launcher's own file or folder an entry's stored name would replace or write into, as the
// launcher names it ("Tarvo-Updater\applied4.list"), or nothing. Its state lives there: the
// record of applied patches, the saved list and the signatures kept beside documents, the log and
// its older part, the downloads folder and everything in it, the staging folder and the slot's
// journal, and the community's key. What patches deliver into Tarvo-Updater/ (the configuration,
// www/, GUI/, the hand-over file) is not its own.
std::optional<std::string> launcherOwnFile(const std::string& storedName);

// Where the entries of one archive go. Nothing is written while they are planned: folders are
// read and checked once per archive, so an archive of thousands of files costs little more than
// its data, and every entry is known to fit before the first is put in place.
class EntryTargets
{
public:
    // The stored name with '\' read as '/', resolved against the game folder without regard to
    // letter case. Nothing for an unsafe name (isUnsafeEntryName).
    std::optional<std::string> destination(const std::string& storedName);

    // Whether the folders of `folderPath` can hold the archive's entries: each one is a real
    // folder (a symbolic link is never followed) or missing, to be made, and none is a file of
    // this archive. Later names in another letter case resolve to the missing ones.
    bool planFolders(const std::string& folderPath);

    // Whether a file of the archive can take the place of `path`: nothing there, a file or a link
    // (replaced itself), and not a folder this archive needs. Later names in another letter case
    // resolve to it.
    bool planFile(const std::string& path);

    // Whether a folder on the way to `path` (a destination()) is a link or anything but a real
    // folder: what lies beyond it is not the game folder's, so nothing there is read or written.
    bool passesThroughLink(const std::string& path);

private:
    GamePathResolver m_resolver;
    std::unordered_set<std::string> m_folders;     // checked or planned
    std::unordered_set<std::string> m_files;       // planned
    std::unordered_set<std::string> m_realFolders; // seen by passesThroughLink
};

} // namespace updater
