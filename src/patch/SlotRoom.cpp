#include "patch/SlotRoom.h"

#include "patch/RarEntries.h"
#include "platform/DiskSpace.h"
#include "platform/FileOps.h"

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

bool roomToFetchAhead(const std::string& archive, uint64_t nextSize)
{
    constexpr uint64_t Margin = 256 * 1024 * 1024;
    const auto available = availableBytes(archive);
    const auto size = regularFileSize(archive);
    return available && size && *available >= Margin + 4 * *size + nextSize;
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
