#pragma once

#include "patch/InstalledFiles.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace updater {

class StopFlag;

// A file of the record that no longer holds what its patch wrote.
struct DamagedFile
{
    enum class Kind { Missing, Changed } kind = Kind::Missing;
    std::string path;
    InstalledFile recorded;
};

struct GameFilesReport
{
    size_t checked = 0;
    std::vector<DamagedFile> damaged;
    std::vector<std::string> notCovered; // slots applied before the record began
};

// The record of installed files of the game folder. A folder without one (updated before the
// record existed, or whose record cannot be read) gets one now, naming the slots already applied
// as not covered; it is written at once, so that the next check knows where it began.
InstalledFiles openInstalledFiles();

// Compares every file the record names with what it must hold: there, under the name recorded, a
// regular file of its size and CRC-32, reached through real folders. Anything else counts as
// changed: a link (not followed, nor is a linked folder on the way), or the file under another
// letter case only. `progress` hears the files done so far and the total.
GameFilesReport checkGameFiles(const InstalledFiles& record, const StopFlag* stop,
                               const std::function<void(size_t done, size_t total)>& progress = {});

} // namespace updater
