#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace updater {

// The game folder's disk has not the room a slot needs. Thrown before anything of the slot is
// written, so that a full disk is found before a long download, not in the middle of it.
struct NotEnoughRoom : std::runtime_error
{
    NotEnoughRoom(uint64_t needed, uint64_t available)
        : std::runtime_error("not enough room"), needed(needed), available(available)
    {}
    uint64_t needed;
    uint64_t available;
};

// Throws NotEnoughRoom when the disk that holds `path` has less than `needed` bytes free for the
// player; a disk that cannot say counts as roomy.
void requireRoom(const std::string& path, uint64_t needed);

// Before an archive is fetched: what is still to come of it, and as much as the whole archive
// again for unpacking, the estimate until its entries are known.
uint64_t roomToFetch(uint64_t archiveSize, uint64_t alreadyFetched);

// Whether the next archive may download while this one unpacks. On a nearly full disk the two
// would compete for the space, and the slot being unpacked could fail for want of room that the
// next download took; one after the other, it gets the room first. The whole unpacked slot waits in
// the staging folder beside the old files until it is put in place, so all of it needs room at
// once: up to four times the archive, as compressed game data rarely shrinks more.
bool roomToFetchAhead(const std::string& archive, uint64_t nextSize);

// Once the archive is whole: the sum of its entries, which stand in the staging folder beside the
// old files until the slot is put in place. Nothing when the archive cannot be listed (its
// extraction then tells why).
std::optional<uint64_t> roomToUnpack(const std::string& archivePath);

} // namespace updater
