#include "PatchTool.h"

#include "patch/PatchLists.h"
#include "platform/ProfileFile.h"

namespace patchtool {

std::vector<Slot> readSlots(const updater::ProfileFile& list)
{
    std::vector<Slot> slots;
    for (updater::PendingPatch& patch : updater::listedPatches(list))
        slots.push_back({updater::slotKey(patch.slot), std::move(patch.address),
                         std::move(patch.documentName), std::move(patch.integrity)});
    return slots;
}

std::string pathIn(const std::string& folder, const std::string& name)
{
    return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

} // namespace patchtool
