#include "PatchTorrents.h"

#include "patch/Downloads.h"
#include "platform/FileOps.h"

#include <libtorrent/bencode.hpp>
#include <libtorrent/create_torrent.hpp>
#include <libtorrent/file_storage.hpp>
#include <libtorrent/hasher.hpp>
#include <libtorrent/torrent_info.hpp>

#include <algorithm>
#include <iterator>

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

std::optional<std::string> makePatchTorrent(const std::string& archivePath, const std::string& address,
                                            const TorrentSources& sources)
{
    const std::optional<uint64_t> size = updater::regularFileSize(archivePath);
    if (!size || *size == 0)
        return std::nullopt;
    const std::optional<std::vector<lt::sha1_hash>> hashes = pieceHashesOf(archivePath, TorrentPieceSize);
    if (!hashes)
        return std::nullopt;
    lt::file_storage files;
    files.add_file(updater::downloadFileName(address), std::int64_t(*size));
    lt::create_torrent torrent(files, TorrentPieceSize, lt::create_torrent::v1_only);
    // The file may have changed between the two reads: only hashes of the size named count.
    if (int(hashes->size()) != torrent.num_pieces())
        return std::nullopt;
    for (int piece = 0; piece < torrent.num_pieces(); ++piece)
        torrent.set_hash(lt::piece_index_t(piece), (*hashes)[size_t(piece)]);
    torrent.set_priv(true);
    torrent.set_creation_date(0);
    torrent.set_creator("");
    for (const std::string& tracker : sources.trackers)
        torrent.add_tracker(tracker, 0);
    std::vector<std::string> seeds;
    for (const std::string& seed : sources.webSeeds)
        if (std::find(seeds.begin(), seeds.end(), seed) == seeds.end()) {
            seeds.push_back(seed);
            torrent.add_url_seed(seed);
        }
    std::string bytes;
    lt::bencode(std::back_inserter(bytes), torrent.generate());
    return bytes;
}

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
