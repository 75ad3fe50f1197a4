#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace updater {

// The most of a torrent the launcher reads: a torrent of one archive holds a SHA-1 for each piece,
// far below this for any patch.
inline constexpr size_t LargestTorrent = 4 * 1024 * 1024;

// A slot's torrent as the launcher uses it, once it has passed torrentFault().
struct CheckedTorrent
{
    std::string bytes;    // the .torrent file as fetched
    std::string fileName; // its one file
    uint64_t size = 0;
    std::string infoHash; // v1, 40 hex digits: the tracker's and the log's name of it
};

// Why a torrent cannot stand for a slot's archive.
enum class TorrentFault {
    NotPinned,  // its SHA-256 is not the one the signed list gives
    Unreadable, // not a torrent libtorrent can read
    NotPrivate, // peers could come from elsewhere than the community's tracker
    OtherFile,  // not one file of the archive's name and size
};
const char* torrentFaultText(TorrentFault fault);

// What a torrent says of itself, for the patch tool's check and the log.
struct TorrentFacts
{
    std::string name;
    std::vector<std::string> fileNames;
    uint64_t size = 0;
    bool isPrivate = false;
    std::vector<std::string> trackers;
    std::vector<std::string> webSeeds;
    std::string infoHash; // v1, 40 hex digits; empty for a torrent of v2 only
    int pieceLength = 0;
    int pieces = 0;
};
std::optional<TorrentFacts> readTorrentFacts(std::string_view bytes);

// Checks the fetched torrent against the list's pin (64 hex digits) and the archive it must
// describe: one file, `fileName`, of `size` bytes. The pin comes first: nothing of an unpinned
// torrent is parsed.
std::optional<TorrentFault> torrentFault(std::string_view bytes, const std::string& pin,
                                         const std::string& fileName, uint64_t size);

// Whether `pin` is a SHA-256 as the list gives it: 64 hex digits.
bool isTorrentPin(const std::string& pin);

} // namespace updater
