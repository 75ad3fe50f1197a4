#include "patch/GameFilesCheck.h"

#include "patch/ArchiveEntryPath.h"
#include "patch/PatchLists.h"
#include "patch/StagedSlot.h"
#include "platform/EventLog.h"
#include "platform/FileOps.h"
#include "platform/GamePath.h"
#include "platform/ProfileFile.h"
#include "platform/StopFlag.h"
#include "trust/Crc32.h"

#include <exception>

namespace updater {

namespace {

// The slots the record of applied patches shows for the saved list.
std::vector<std::string> appliedSlots()
{
    const ProfileFile list(resolveGamePath(patchListPath()));
    const ProfileFile applied(resolveGamePath(appliedRecordPath()));
    std::vector<std::string> slots;
    for (const PendingPatch& patch : listedPatches(list))
        if (!applied.readString("Updates", slotKey(patch.slot), "").empty())
            slots.push_back(slotKey(patch.slot));
    return slots;
}

} // namespace

InstalledFiles openInstalledFiles()
{
    InstalledFiles record(resolveGamePath(installedFilesPath()));
    if (record.state() == InstalledFiles::State::Read || record.state() == InstalledFiles::State::Damaged)
        return record;
    logEvent(record.state() == InstalledFiles::State::Missing
                 ? "record of installed files: none yet, begun with the game folder as it is"
                 : "record of installed files: not readable, begun anew with the game folder as it is");
    record.begin(appliedSlots());
    try {
        record.save();
    } catch (const std::exception& error) {
        logEvent(std::string("record of installed files not written: ") + error.what());
    }
    return record;
}

GameFilesReport checkGameFiles(const InstalledFiles& record, const StopFlag* stop,
                               const std::function<void(size_t, size_t)>& progress)
{
    GameFilesReport report;
    report.record = record.state();
    report.refused = record.refused();
    report.notCovered = record.notCovered();
    report.slotCutShort = entryKind(resolveGamePath(slotJournalPath())) != EntryKind::Nothing;
    // Resolved as a repair writes them, so that both see the same file.
    EntryTargets targets;
    const size_t total = record.files().size();
    for (const auto& [path, file] : record.files()) {
        if (stop && stop->requested())
            return report;
        ++report.checked;
        const std::string found = targets.destination(path).value_or(path);
        const EntryKind kind = targets.passesThroughLink(found) ? EntryKind::Link : entryKind(found);
        std::optional<FileCrc> crc;
        // The size first: most damage shows there without reading the file.
        if (kind == EntryKind::RegularFile && found == path && regularFileSize(path) == file.size)
            crc = crc32File(path, stop);
        if (stop && stop->requested())
            return report;
        if (kind == EntryKind::Nothing)
            report.damaged.push_back({DamagedFile::Kind::Missing, path, file});
        else if (!crc || crc->size != file.size || crc32Hex(crc->crc) != file.crc32)
            report.damaged.push_back({DamagedFile::Kind::Changed, path, file});
        if (progress)
            progress(report.checked, total);
    }
    return report;
}

} // namespace updater
