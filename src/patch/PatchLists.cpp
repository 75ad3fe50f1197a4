#include "patch/PatchLists.h"

#include "net/HttpClient.h"
#include "platform/GamePath.h"
#include "platform/ProfileFile.h"

namespace updater {

namespace {

constexpr const char* UpdatesSection = "Updates";
constexpr const char* IntegritySection = "Integrity";
constexpr const char* TorrentsSection = "Torrents";

} // namespace

std::string patchListPath()
{
    return updaterFolderPath("updates4.list");
}

std::string appliedRecordPath()
{
    return updaterFolderPath("applied4.list");
}

std::string slotKey(int slot)
{
    return "Update_" + std::to_string(slot);
}

std::vector<PendingPatch> listedPatches(const ProfileFile& patchList)
{
    std::vector<PendingPatch> listed;
    for (int slot = 1;; ++slot) {
        const std::string key = slotKey(slot);
        std::string address = patchList.readString(UpdatesSection, key, "");
        if (address.empty())
            return listed;
        std::string name = documentName(address);
        listed.push_back({slot, std::move(address), std::move(name),
                          patchList.readString(IntegritySection, key, ""),
                          patchList.readString(TorrentsSection, key, "")});
    }
}

std::vector<PendingPatch> pendingPatches(const ProfileFile& patchList, const ProfileFile& appliedRecord)
{
    std::vector<PendingPatch> pending;
    for (PendingPatch& patch : listedPatches(patchList))
        if (patch.documentName != appliedRecord.readString(UpdatesSection, slotKey(patch.slot), ""))
            pending.push_back(std::move(patch));
    return pending;
}

void recordApplied(ProfileFile& appliedRecord, const PendingPatch& patch)
{
    appliedRecord.writeString(UpdatesSection, slotKey(patch.slot), patch.documentName);
}

} // namespace updater
