#include "patch/SharedArchive.h"

#include "fetch/SignedFetch.h"
#include "net/HttpClient.h"
#include "patch/Downloads.h"
#include "patch/PatchLists.h"
#include "platform/AtomicFile.h"
#include "platform/EventLog.h"
#include "platform/FileOps.h"
#include "platform/PathText.h"
#include "platform/StopFlag.h"
#include "platform/UpdaterError.h"
#include "trust/IntegrityLine.h"

#include <QScopeGuard>

namespace updater {

namespace {

std::optional<CheckedTorrent> fetchTorrent(HttpClient& http, const PendingPatch& patch,
                                           const FileDigest& expected)
{
    const std::string address = patch.address + ".torrent";
    CheckedTorrent torrent;
    // The torrent is not the archive: the display, which shows the archive's bytes, hears nothing.
    const HttpClient::WorkEvents display = http.workEvents();
    http.setWorkEvents({});
    const auto restore = qScopeGuard([&] { http.setWorkEvents(display); });
    try {
        torrent.bytes = fetchCapped(http, address, LargestTorrent, "torrent larger than 4 MiB");
    } catch (...) {
        logEvent("sharing patches: torrent " + addressForLog(address) +
                 " cannot be had: " + failureText(std::current_exception()));
        return std::nullopt;
    }
    torrent.fileName = downloadFileName(patch.address);
    torrent.size = expected.size;
    if (const std::optional<TorrentFault> fault =
            torrentFault(torrent.bytes, patch.torrentPin, torrent.fileName, torrent.size)) {
        logEvent("sharing patches: torrent " + addressForLog(address) +
                 " refused: " + torrentFaultText(*fault));
        return std::nullopt;
    }
    torrent.infoHash = readTorrentFacts(torrent.bytes)->infoHash;
    return torrent;
}

} // namespace

FromPlayers fetchFromPlayers(HttpClient& http, PatchSharing& sharing, const PendingPatch& patch,
                             const FileDigest& expected, const std::string& archive,
                             const SharedArchiveWatch& watch)
{
    const std::optional<CheckedTorrent> torrent = fetchTorrent(http, patch, expected);
    if (watch.stop && watch.stop->requested())
        return FromPlayers::Stopped;
    if (!torrent)
        return FromPlayers::OverHttp;
    const HttpClient::WorkEvents& events = http.workEvents();
    if (watch.showBytes && events.begin)
        events.begin(int64_t(torrent->size));
    SharedDownloadWatch timing = watch.timing;
    timing.stop = watch.stop;
    timing.progress = [&](uint64_t done, uint64_t, const SharedBytes& bytes) {
        if (watch.showBytes && events.work)
            events.work(int64_t(done));
        if (watch.fromPlayers)
            watch.fromPlayers(bytes.fromPlayers);
    };
    const SharedDownload shared = sharing.download(*torrent, timing);
    if (watch.showBytes && events.end)
        events.end();
    switch (shared.outcome) {
    case SharedOutcome::Complete:
        break;
    case SharedOutcome::Stopped:
        return FromPlayers::Stopped;
    case SharedOutcome::NoRoom:
        // It cannot become whole; HTTP measures the room again and tells the player.
        removeFile(shared.path);
        return FromPlayers::OverHttp;
    default:
        return FromPlayers::OverHttp;
    }
    const IntegrityCheck check = checkFileIntegrity(shared.path, expected, watch.stop);
    if (check == IntegrityCheck::Stopped)
        return FromPlayers::Stopped;
    if (check != IntegrityCheck::Matches) {
        // The pieces matched a torrent that does not describe the archive of the line.
        logEvent("sharing patches: " + patch.documentName +
                 " from players failed its check: " + std::string(integrityCause(check)));
        sharing.discard(*torrent);
        return FromPlayers::OverHttp;
    }
    if (!linkOrCopyFile(shared.path, archive)) {
        logEvent("sharing patches: " + patch.documentName + " cannot be put in the downloads folder");
        return FromPlayers::OverHttp;
    }
    return FromPlayers::Got;
}

} // namespace updater
