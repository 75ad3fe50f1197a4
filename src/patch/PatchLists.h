#pragma once

#include <string>
#include <vector>

namespace updater {

class ProfileFile;

// "Tarvo-Updater\updates4.list": the community's patch list, one archive address per slot.
std::string patchListPath();
// "Tarvo-Updater\applied4.list": the document name each slot last delivered.
std::string appliedRecordPath();

// "Update_" + slot number, the key of a slot in both lists.
std::string slotKey(int slot);

struct PendingPatch
{
    int slot = 0;
    std::string address;
    std::string documentName;
    // The slot's line of the list's [Integrity] section ("<size> <sha256>"), empty when it has none.
    std::string integrity;
    // The slot's line of the list's [Torrents] section: the SHA-256 of the torrent beside the
    // archive ("<address>.torrent"), empty when the slot is shared over HTTP only.
    std::string torrentPin;
};

// Every slot of the patch list, applied or not, in slot order. Reading stops at the first slot
// whose address is missing or empty: a slot after a gap is never read.
std::vector<PendingPatch> listedPatches(const ProfileFile& patchList);

// The listed slots that the record does not show as applied, in slot order. A slot counts as applied when the
// document name of its address equals the recorded name exactly (letter case significant).
// Older launchers ignore the [Integrity] and [Torrents] sections, so lists with it stay readable for them.
std::vector<PendingPatch> pendingPatches(const ProfileFile& patchList, const ProfileFile& appliedRecord);

// Records the slot as applied. Throws UpdaterError when the record cannot be written; the record
// on disk is then unchanged.
void recordApplied(ProfileFile& appliedRecord, const PendingPatch& patch);

} // namespace updater
