#pragma once

#include "share/TorrentCheck.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace patchtool {

// The piece size of every torrent the tool makes: fixed, so that a torrent depends on nothing but
// the archive and where it is served (not on the libtorrent version's choice), and large enough
// that the torrent of an 8 GiB archive stays near 160 KiB while a web seed is asked one range per
// piece.
constexpr int TorrentPieceSize = 1024 * 1024;

// Where a slot's archive is shared from: the community's trackers and its HTTP addresses (the
// slot's own address first, then the same archive on each mirror).
struct TorrentSources
{
    std::vector<std::string> trackers;
    std::vector<std::string> webSeeds;
};

// The .torrent of the archive at `archivePath` as the launcher takes it: v1 only, private, one
// file named as the launcher names the download of `address` (downloadFileName), the trackers in
// one tier, the web seeds in the order given, no creation date and no creator, so that the same
// archive and sources always give the same bytes. Nothing when the archive cannot be read whole.
std::optional<std::string> makePatchTorrent(const std::string& archivePath, const std::string& address,
                                            const TorrentSources& sources);

// Where the torrent's pieces and the archive's bytes part: nothing when every piece's SHA-1 matches,
// otherwise "piece N of M differs from the archive" (counted from 1), or why they cannot be compared.
std::optional<std::string> piecesDiffer(std::string_view torrent, const std::string& archivePath);

} // namespace patchtool
