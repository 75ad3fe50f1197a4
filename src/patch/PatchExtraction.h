#pragma once

#include "patch/StagedSlot.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace updater {

class Clock;
class PlayerContact;
class StopFlag;

struct ExtractionContext
{
    // Shows the count of entries unpacked in this run, on the extracting thread: at most once per
    // interval and always for the last entry.
    std::function<void(int unpacked)> showCount;
    std::chrono::milliseconds captionInterval{50};
    // What the interval is measured with; null for the machine's steady clock.
    const Clock* clock = nullptr;
    // Told about an archive that cannot be opened, its comment and failed entries; may be null.
    PlayerContact* player = nullptr;
    // A requested stop abandons the entry being written and ends the extraction; may be null.
    const StopFlag* stop = nullptr;
    // Told of every file put in place: its path in the game folder, its size and CRC-32 (crc32Hex).
    std::function<void(const std::string& path, uint64_t size, const std::string& crc32)> written;
    // When set, the staged files are synced to the disk and this hears of every entry before the
    // first is put in place (where a journal is written); false abandons the archive, told by it.
    std::function<bool(const std::vector<StagedEntry>& entries)> staged;
    // When set, only the files whose path it accepts are written (a repair); the rest are skipped.
    std::function<bool(const std::string& path)> wanted;
};

// Unpacks every entry of the RAR archive at `archivePath` into the game folder; `documentName` is
// the patch's name for the player. Nothing is unpacked from an archive that does not run whole to
// its end-of-archive block. The archive lands whole or not at all: every entry is unpacked into
// the staging folder first, and only once all of them are there whole are they put in place, each
// by a rename; a failed entry or a stop leaves the game folder as it was. Entry names are taken as
// Unicode and written as UTF-8 whatever the locale. Entries that could reach outside the game
// folder and link entries are never written and count as failed entries. Returns true only when
// every entry was extracted and put in place and the archive ended normally; every other outcome
// but a stop has been told to the player (or by `staged`).
bool extractPatchArchive(const std::string& archivePath, const std::string& documentName,
                         const ExtractionContext& context);

// Archive entries processed since the program started, over every archive of the run.
int unpackedFileCount();

} // namespace updater
