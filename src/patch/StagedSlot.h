#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace updater {

// "Tarvo-Updater\staging": where the files of a slot wait, whole, until every one of them can be
// put in place. It lies on the game folder's file system, so that putting a file in place is a
// rename, and it belongs to the launcher: no patch entry writes into it.
std::string stagingFolderPath();

// "Tarvo-Updater\slot-journal": there only while the staged files of a slot are being put in
// place. A start that finds it finishes that slot before anything else.
std::string slotJournalPath();

// One entry of a slot: a file waiting in the staging folder for its place, or a folder to make.
struct StagedEntry
{
    std::string staged; // its name in the staging folder; empty for a folder
    std::string target; // its path in the game folder, resolved
    uint64_t size = 0;
    std::string crc32; // crc32Hex
};

struct SlotJournal
{
    int slot = 0;
    std::string document; // the archive's name, as the record of applied patches has it
    std::vector<StagedEntry> entries;
};

// The staging folder of one archive, made when first asked for (what an earlier attempt left in
// it goes first) and removed with whatever it holds when the object goes, unless kept for a
// journal that names its files. A launcher's folder it had to make goes too, when empty.
class StagingFolder
{
public:
    StagingFolder() = default;
    ~StagingFolder();
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    // Empty when it cannot be made.
    const std::string& path();
    void keep(bool kept) { m_kept = kept; }

private:
    std::string m_path;
    bool m_madeUpdaterFolder = false;
    bool m_kept = false;
};

// Writes the journal durably. Throws UpdaterError when it cannot be written.
void writeSlotJournal(const SlotJournal& journal);

// Reads the journal (never through a link); Unreadable for one the launcher cannot have written.
enum class JournalRead { Missing, Read, Unreadable };
JournalRead readSlotJournal(SlotJournal& journal);

// Removes the journal, durably, then the staging folder with whatever it holds.
void dropSlotJournal();

// Puts the staged entries in place in their order, making the folders they need (a link never
// counts as one). A file put in place before an interruption (its staged file gone, its target
// there) counts as placed. `placed` hears of every file. The first entry that could not be put in
// place, with the cause, or nothing.
struct PlacementFailure
{
    std::string target;
    std::string cause;
};
std::optional<PlacementFailure> placeStagedEntries(const std::vector<StagedEntry>& entries,
                                                   const std::function<void(const StagedEntry&)>& placed);

} // namespace updater
