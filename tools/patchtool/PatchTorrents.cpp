#include "PatchTorrents.h"

#include "platform/FileOps.h"

#include <libtorrent/hasher.hpp>
#include <libtorrent/torrent_info.hpp>

#include <algorithm>
#include <vector>

namespace patchtool {

namespace {

// The SHA-1 of each piece of the file, read once from start to end; nothing when it cannot be read.
std::optional<std::vector<lt::sha1_hash>> pieceHashesOf(const std::string& path, int pieceLength)
{
    std::vector<lt::sha1_hash> hashes;
    lt::hasher piece;
    int inPiece = 0;
    const std::optional<uint64_t> read =
        updater::readFileInPieces(path, nullptr, [&](const char* data, size_t size) {
            while (size > 0) {
                const int take = int(std::min<size_t>(size, size_t(pieceLength - inPiece)));
                piece.update(data, take);
                data += take;
                size -= size_t(take);
                inPiece += take;
                if (inPiece == pieceLength) {
                    hashes.push_back(piece.final());
                    piece.reset();
                    inPiece = 0;
                }
            }
        });
    if (!read)
        return std::nullopt;
    if (inPiece > 0)
        hashes.push_back(piece.final());
    return hashes;
}

} // namespace

std::optional<std::string> piecesDiffer(std::string_view torrent, const std::string& archivePath)
{
    lt::error_code error;
    const lt::torrent_info info(lt::span<const char>(torrent.data(), long(torrent.size())), error,
                                lt::from_span);
    if (error || !info.info_hashes().has_v1())
        return "torrent not readable";
    const std::optional<std::vector<lt::sha1_hash>> hashes = pieceHashesOf(archivePath, info.piece_length());
    if (!hashes)
        return "archive cannot be read";
    const int pieces = info.num_pieces();
    for (int piece = 0; piece < pieces; ++piece)
        if (size_t(piece) >= hashes->size() ||
            (*hashes)[size_t(piece)] != info.hash_for_piece(lt::piece_index_t(piece)))
            return "piece " + std::to_string(piece + 1) + " of " + std::to_string(pieces) +
                   " differs from the archive";
    if (hashes->size() != size_t(pieces))
        return "the archive runs past the torrent's " + std::to_string(pieces) + " pieces";
    return std::nullopt;
}

} // namespace patchtool
