#include "patch/SlotRoom.h"

#include "patch/RarEntries.h"
#include "platform/DiskSpace.h"

namespace updater {

void requireRoom(const std::string& path, uint64_t needed)
{
    const std::optional<uint64_t> available = availableBytes(path);
    if (available && *available < needed)
        throw NotEnoughRoom(needed, *available);
}

uint64_t roomToFetch(uint64_t archiveSize, uint64_t alreadyFetched)
{
    return (archiveSize > alreadyFetched ? archiveSize - alreadyFetched : 0) + archiveSize;
}

std::optional<uint64_t> roomToUnpack(const std::string& archivePath)
{
    const RarArchive archive = openArchiveToList(archivePath);
    if (!archive)
        return std::nullopt;
    uint64_t sum = 0;
    const int end = readEntries(archive.get(), [&](const RARHeaderDataEx& header) {
        sum += (static_cast<uint64_t>(header.UnpSizeHigh) << 32) | header.UnpSize;
        return RARProcessFile(archive.get(), RAR_SKIP, nullptr, nullptr) == ERAR_SUCCESS;
    });
    return end == ERAR_END_ARCHIVE ? std::optional<uint64_t>(sum) : std::nullopt;
}

} // namespace updater
