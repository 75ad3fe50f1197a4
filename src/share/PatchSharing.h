#pragma once

#include "platform/Clock.h"
#include "share/SharingOptions.h"
#include "share/TorrentCheck.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace updater {

class StopFlag;

// What one shared download had, and from whom.
struct SharedBytes
{
    uint64_t fromPlayers = 0;
    uint64_t fromWebSeeds = 0;
};

// How a shared download ended. Anything but Complete leaves the slot to HTTP, except Stopped
// (the run ends) and NoRoom (HTTP would not fit either).
enum class SharedOutcome {
    Complete,  // every piece is there and passed libtorrent's hash
    Stalled,   // nothing arrived for the stall time
    Failed,    // libtorrent refused the torrent or could not use its file
    TurnedOff, // the player turned sharing off
    Stopped,   // the run's stop
    NoRoom,    // the disk filled while the torrent wrote
};

struct SharedDownload
{
    SharedOutcome outcome = SharedOutcome::Failed;
    SharedBytes bytes;
    std::string path;  // the archive's file, whole when Complete
    std::string cause; // for the log, when not Complete
};

struct SharedDownloadWatch
{
    const StopFlag* stop = nullptr;
    // The archive's bytes so far (verified pieces), and how much of them came from players.
    std::function<void(uint64_t done, uint64_t size, const SharedBytes& bytes)> progress;
    const Clock* clock = &Clock::steady();
    Clock::Duration stallAfter = std::chrono::seconds(30);
    Clock::Duration pollEvery = std::chrono::milliseconds(100);
    // How long a web seed that refused rests before it is asked again, drawn evenly between the
    // two, so that the players a busy origin turned away do not all come back at once.
    Clock::Duration webSeedRestShortest = std::chrono::seconds(5);
    Clock::Duration webSeedRestLongest = std::chrono::seconds(20);
};

// The player's part in the community's swarm: one libtorrent session, made when sharing is turned
// on and ended with this object, so that a launcher that does not share opens no listening socket
// and asks no tracker. Its downloads lie in `folder` (the downloads folder's "shared"), where they
// stay to be seeded until the launcher no longer needs them (seedingEnds()). Thread-safe: the run,
// the fetch ahead and the window call it from their threads.
class PatchSharing
{
public:
    PatchSharing(SharingOptions options, std::string folder);
    ~PatchSharing();
    PatchSharing(const PatchSharing&) = delete;
    PatchSharing& operator=(const PatchSharing&) = delete;

    // The port the session listens on; 0 when it could not listen.
    uint16_t listeningPort() const;
    // Off, a download in progress ends (TurnedOff) and nothing more is shared; the session stays
    // until the object ends.
    void turnOff();
    bool on() const { return m_on; }
    void setDownloadLimit(uint32_t kilobytesPerSecond);

    // Downloads the torrent's file from peers and web seeds together, into the folder. Pieces that
    // arrived stay for the next try, whatever the outcome. A Complete download is seeded on.
    SharedDownload download(const CheckedTorrent& torrent, const SharedDownloadWatch& watch);
    // Takes the torrent out of the session and removes its file: what it brought is not what the
    // list names.
    void discard(const CheckedTorrent& torrent);
    // Seeds what this launcher has for `duration`, or until `stop`.
    void seedFor(Clock::Duration duration, const StopFlag& stop, const Clock& clock = Clock::steady());
    // The launcher is done with the archives: seeding ends and the complete ones are removed; the
    // pieces of an incomplete one stay for the next run. Logs what was uploaded.
    void seedingEnds();
    uint64_t uploaded() const;

private:
    void readAlerts();
    struct Tracked;
    void applyUploadLimit();

    std::mutex m_optionsMutex; // the run's thread sets the download limit while others read it
    SharingOptions m_options;
    const std::string m_folder;
    struct Engine; // libtorrent's session, kept out of this header
    std::unique_ptr<Engine> m_engine;
    std::atomic<bool> m_on{true};
    std::atomic<int64_t> m_fastestDownload{0};
    std::atomic<uint64_t> m_uploadedEarlier{0}; // of torrents no longer in the session
    // What the alerts tell of each download in progress, by info-hash.
    std::mutex m_alertsMutex;
    std::map<std::string, std::shared_ptr<Tracked>> m_tracked;
};

} // namespace updater
