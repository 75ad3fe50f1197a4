#include "PatchTool.h"

#include "net/HttpClient.h"
#include "patch/PatchLists.h"
#include "platform/ProfileFile.h"

namespace patchtool {

std::vector<Slot> readSlots(const updater::ProfileFile& list)
{
    std::vector<Slot> slots;
    for (int number = 1;; ++number) {
        Slot slot;
        slot.key = updater::slotKey(number);
        slot.address = list.readString("Updates", slot.key, "");
        if (slot.address.empty())
            return slots;
        slot.documentName = updater::documentName(slot.address);
        slot.integrity = list.readString("Integrity", slot.key, "");
        slots.push_back(std::move(slot));
    }
}

std::string pathIn(const std::string& folder, const std::string& name)
{
    return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

} // namespace patchtool
