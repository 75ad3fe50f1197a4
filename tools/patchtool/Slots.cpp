#include "PatchTool.h"

#include "patch/PatchLists.h"
#include "platform/PathText.h"
#include "platform/ProfileFile.h"

#include <algorithm>
#include <charconv>

namespace patchtool {

std::vector<Slot> readSlots(const updater::ProfileFile& list)
{
    std::vector<Slot> slots;
    for (updater::PendingPatch& patch : updater::listedPatches(list))
        slots.push_back({updater::slotKey(patch.slot), std::move(patch.address),
                         std::move(patch.documentName), std::move(patch.integrity)});
    return slots;
}

std::vector<Problem> slotLinesNeverRead(std::string_view list, size_t slotsRead)
{
    std::vector<Problem> found;
    std::string section;
    for (size_t at = 0; at < list.size();) {
        const size_t end = std::min(list.find('\n', at), list.size());
        const std::string line(updater::trimBlanks(list.substr(at, end - at), " \t\r"));
        at = end + 1;
        if (line.starts_with('[') && line.ends_with(']')) {
            section = updater::lowerAscii(line.substr(1, line.size() - 2));
            continue;
        }
        const size_t equals = line.find('=');
        const std::string key =
            updater::lowerAscii(std::string(updater::trimBlanks(line.substr(0, equals), " \t")));
        if (equals == std::string::npos || !key.starts_with("update_"))
            continue;
        const std::string value(updater::trimBlanks(line.substr(equals + 1), " \t"));
        const std::string name = "Update_" + key.substr(7);
        size_t number = 0;
        const auto [rest, error] = std::from_chars(key.data() + 7, key.data() + key.size(), number);
        if (error != std::errc() || rest != key.data() + key.size())
            continue;
        if (section == "updates" && number > slotsRead + 1)
            found.push_back({name, "never read: the slots stop at Update_" + std::to_string(slotsRead)});
        else if (section == "integrity" && value.find("://") != std::string::npos)
            found.push_back({name, "an address under [Integrity]: slot lines belong under [Updates]"});
    }
    return found;
}

std::string pathIn(const std::string& folder, const std::string& name)
{
    return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

} // namespace patchtool
