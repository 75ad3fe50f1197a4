#pragma once

#include "platform/GamePath.h"

#include <optional>
#include <string>
#include <unordered_set>

namespace updater {

// Whether an archive entry's stored name ('\' read as '/') must never be written: empty, absolute,
// with a drive letter or with a ".." component, so that it could reach outside the game folder, or
// naming the community's key file, whatever its letter case.
bool isUnsafeEntryName(const std::string& storedName);

// Where the entries of one archive are written. Folders are read, checked and created once per
// archive, so an archive of thousands of files costs little more than its data.
class EntryTargets
{
public:
    // The stored name with '\' read as '/', resolved against the game folder without regard to
    // letter case. Nothing for an unsafe name (isUnsafeEntryName).
    std::optional<std::string> destination(const std::string& storedName);

    // Creates the folders of `folderPath` that are missing. False when one cannot be made, or when
    // an existing one is not a real folder (a symbolic link is never followed).
    bool prepareFolders(const std::string& folderPath);

    // The entry's file now exists: later entries spelled in another letter case find it.
    void noteWritten(const std::string& path);

private:
    GamePathResolver m_resolver;
    std::unordered_set<std::string> m_readyFolders;
};

} // namespace updater
