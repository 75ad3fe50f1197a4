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
    InstalledFiles::State record = InstalledFiles::State::Read; // as found on the disk
    std::vector<RefusedLine> refused;                           // its lines that name no file
    size_t checked = 0;
    std::vector<DamagedFile> damaged;
    std::vector<std::string> notCovered; // slots applied before the record began
    bool slotCutShort = false;           // a slot's files were being put in place: the next start finishes it

    // The record is whole and every file it names holds what it must.
    bool whole() const { return record == InstalledFiles::State::Read && damaged.empty() && !slotCutShort; }
};

// What a repair found before it mended, what it could not mend and why, and what it found after.
struct RepairReport
{
    GameFilesReport before;
    GameFilesReport after;
    bool listNotSigned = false;         // nothing mended: the saved patch list is not proven
    std::vector<DamagedFile> notListed; // the saved list no longer names the archive that wrote them
};

// The record of installed files of the game folder, for a run that writes it. A folder without
// one (updated before the record existed, or whose record cannot be read) gets one now, naming the
// slots already applied as not covered; it is written at once, so that the next check knows where
// it began. A damaged record is taken as it is: its refused lines stay in it.
InstalledFiles openInstalledFiles();

// Compares every file the record names with what it must hold: there, under the name recorded, a
// regular file of its size and CRC-32, reached through real folders. Anything else counts as
// changed: a link (not followed, nor is a linked folder on the way), or the file under another
// letter case only. `progress` hears the files done so far and the total.
GameFilesReport checkGameFiles(const InstalledFiles& record, const StopFlag* stop,
                               const std::function<void(size_t done, size_t total)>& progress = {});

} // namespace updater
