#include "share/TorrentCheck.h"

#include "trust/Sha256.h"

#include <libtorrent/announce_entry.hpp>
#include <libtorrent/torrent_info.hpp>

#include <algorithm>
#include <cctype>
#include <sstream>

namespace updater {

namespace {

std::string lowerHex(const std::string& text)
{
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return lower;
}

std::shared_ptr<const lt::torrent_info> parsed(std::string_view bytes)
{
    // Limits against a torrent made to exhaust memory: a patch has one file and few pieces.
    lt::load_torrent_limits limits;
    limits.max_buffer_size = 8 * 1024 * 1024;
    limits.max_pieces = 0x400000;
    limits.max_decode_depth = 50;
    limits.max_decode_tokens = 500000;
    auto info = std::make_shared<lt::torrent_info>(lt::span<const char>(bytes.data(), long(bytes.size())),
                                                   limits, lt::from_span);
    return info;
}

} // namespace

const char* torrentFaultText(TorrentFault fault)
{
    switch (fault) {
    case TorrentFault::NotPinned:
        return "torrent does not match the list";
    case TorrentFault::Unreadable:
        return "torrent not readable";
    case TorrentFault::NotPrivate:
        return "torrent not private";
    case TorrentFault::OtherFile:
        return "torrent describes another file";
    }
    return "torrent refused";
}

bool isTorrentPin(const std::string& pin)
{
    return pin.size() == 64 &&
           std::all_of(pin.begin(), pin.end(), [](unsigned char c) { return std::isxdigit(c); });
}

std::optional<TorrentFacts> readTorrentFacts(std::string_view bytes)
{
    try {
        const auto info = parsed(bytes);
        TorrentFacts facts;
        facts.name = info->name();
        const lt::file_storage& files = info->files();
        for (const lt::file_index_t file : files.file_range())
            if (!files.pad_file_at(file))
                facts.fileNames.push_back(files.file_path(file));
        facts.size = uint64_t(info->total_size());
        facts.isPrivate = info->priv();
        for (const lt::announce_entry& tracker : info->trackers())
            facts.trackers.push_back(tracker.url);
        for (const lt::web_seed_entry& seed : info->web_seeds())
            facts.webSeeds.push_back(seed.url);
        if (info->info_hashes().has_v1()) {
            std::ostringstream hex;
            hex << info->info_hashes().v1;
            facts.infoHash = hex.str();
        }
        facts.pieceLength = info->piece_length();
        facts.pieces = info->num_pieces();
        return facts;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<TorrentFault> torrentFault(std::string_view bytes, const std::string& pin,
                                         const std::string& fileName, uint64_t size)
{
    if (!isTorrentPin(pin) || sha256Hex(bytes) != lowerHex(pin))
        return TorrentFault::NotPinned;
    const std::optional<TorrentFacts> facts = readTorrentFacts(bytes);
    if (!facts || facts->infoHash.empty())
        return TorrentFault::Unreadable;
    if (!facts->isPrivate)
        return TorrentFault::NotPrivate;
    if (facts->fileNames.size() != 1 || facts->fileNames.front() != fileName || facts->size != size)
        return TorrentFault::OtherFile;
    return std::nullopt;
}

} // namespace updater
