#include "PatchTool.h"

#include "patch/PatchLists.h"
#include "platform/ProfileFile.h"

#include <charconv>

namespace patchtool {

std::vector<Slot> readSlots(const updater::ProfileFile& list)
{
    std::vector<Slot> slots;
    for (updater::PendingPatch& patch : updater::listedPatches(list))
        slots.push_back({updater::slotKey(patch.slot), std::move(patch.address),
                         std::move(patch.documentName), std::move(patch.integrity),
                         std::move(patch.torrentPin)});
    return slots;
}

std::vector<Problem> slotLinesNeverRead(const updater::ProfileFile& list, size_t slotsRead)
{
    std::vector<Problem> found;
    for (const updater::ProfileFile::KeyLine& line : list.keyLines()) {
        const std::string_view key = line.key;
        if (!line.value || !key.starts_with("update_"))
            continue;
        const std::string_view digits = key.substr(7);
        size_t number = 0;
        const auto [rest, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (error != std::errc() || rest != digits.data() + digits.size())
            continue;
        const std::string name = "Update_" + std::string(digits);
        if (line.section == "updates" && number > slotsRead + 1)
            found.push_back({name, "never read: the slots stop at Update_" + std::to_string(slotsRead)});
        else if (line.section == "integrity" && line.value->find("://") != std::string::npos)
            found.push_back({name, "an address under [Integrity]: slot lines belong under [Updates]"});
    }
    return found;
}

std::string pathIn(const std::string& folder, const std::string& name)
{
    return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

} // namespace patchtool
