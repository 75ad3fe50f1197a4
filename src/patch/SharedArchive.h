#pragma once

#include "share/PatchSharing.h"
#include "trust/Sha256.h"

#include <functional>
#include <string>

namespace updater {

class HttpClient;
class StopFlag;
struct PendingPatch;

// How a slot's try through its torrent ended.
enum class FromPlayers {
    Got,      // the archive is whole at its place in the downloads folder and matches its line
    OverHttp, // no torrent, or it could not serve: the slot goes on over HTTP as without sharing
    Stopped,  // the run's stop
};

struct SharedArchiveWatch
{
    const StopFlag* stop = nullptr;
    // The bytes of the archive so far, through the client's work events, so that the display
    // shows a shared download as it shows one over HTTP.
    bool showBytes = true;
    // Of those, the bytes that came from players.
    std::function<void(uint64_t fromPlayers)> fromPlayers;
    SharedDownloadWatch timing; // the clock and the stall time; its stop and progress are set here
};

// The slot's archive from the community's swarm: fetches "<address>.torrent" with `http`, checks
// it against the list's pin, the archive's name and its size, downloads it with `sharing` into the
// sharing folder, checks the whole archive against `expected` and puts it at `archive` (a second
// name of the shared file, which stays to be seeded). Everything that goes wrong is logged and
// leaves the slot to HTTP; a torrent file that did not become whole is never given to HTTP to
// resume.
FromPlayers fetchFromPlayers(HttpClient& http, PatchSharing& sharing, const PendingPatch& patch,
                             const FileDigest& expected, const std::string& archive,
                             const SharedArchiveWatch& watch);

} // namespace updater
