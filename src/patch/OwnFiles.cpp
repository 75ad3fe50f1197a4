#include "patch/OwnFiles.h"

#include "patch/InstalledFiles.h"
#include "patch/PatchLists.h"
#include "patch/StagedSlot.h"
#include "platform/EventLog.h"
#include "platform/FileOps.h"
#include "platform/GamePath.h"
#include "trust/CommunityKey.h"

#include <string>

namespace updater {

namespace {

void mend(const std::string& ownName, EntryKind belongs)
{
    const std::string path = resolveGamePath(ownName);
    const EntryKind found = entryKind(path);
    if (found == EntryKind::Nothing || found == belongs)
        return;
    if (found == EntryKind::Link && removeFile(path)) {
        logEvent("removed a link that stood in place of " + ownName);
        return;
    }
    if (found == EntryKind::Folder && belongs == EntryKind::RegularFile && removeEmptyFolder(path)) {
        logEvent("removed an empty folder that stood in place of " + ownName);
        return;
    }
    logEvent("something that is not the launcher's stands in place of " + ownName +
             ": move it away, or updates cannot be recorded");
}

} // namespace

void mendOwnFiles()
{
    mend(appliedRecordPath(), EntryKind::RegularFile);
    mend(installedFilesPath(), EntryKind::RegularFile);
    mend(patchListPath(), EntryKind::RegularFile);
    mend(signatureAddress(patchListPath()), EntryKind::RegularFile);
    mend(updaterFolderPath("downloads"), EntryKind::Folder);
    mend(slotJournalPath(), EntryKind::RegularFile);
    mend(stagingFolderPath(), EntryKind::Folder);
}

} // namespace updater
