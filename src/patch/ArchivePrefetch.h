#pragma once

#include "net/HttpClient.h"
#include "patch/PatchDownload.h"
#include "player/PlayerContact.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace updater {

class StopFlag;
class TransferProgress;

// The next slot's archive, downloaded on a thread of its own while the current slot unpacks, so
// that the transfer overlaps the extraction. Nothing of it reaches the player before the run
// comes to that slot: its notice waits in the result, and its transfer events stay hidden until
// show(), which then replays what the display missed so that each slot's download is still shown
// in order. One prefetch at a time; the client must not be used by anyone else meanwhile.
class ArchivePrefetch
{
public:
    // Fetches the archive; returns the notice the player is to hear if it fails. `retrying` is
    // the download's DownloadWatch::retrying.
    using Job =
        std::function<std::optional<Notice>(HttpClient& http, std::function<void(RetryWait)> retrying)>;

    // `stop` ends the transfer early, and is requested when the prefetch is dropped; `archive` is
    // the file the job writes.
    ArchivePrefetch(HttpClient& http, StopFlag& stop, TransferProgress& progress, std::string slotName,
                    std::string archive, Job job);
    // Unless take() was called, ends the transfer and removes what it wrote.
    ~ArchivePrefetch();
    ArchivePrefetch(const ArchivePrefetch&) = delete;
    ArchivePrefetch& operator=(const ArchivePrefetch&) = delete;

    // From now on the transfer's events and captions reach the display, beginning with the
    // ones it missed.
    void show();
    // Waits for the download's end; its failure notice, if any. The archive is the caller's then.
    std::optional<Notice> take();

private:
    HttpClient& m_http;
    TransferProgress& m_progress;
    StopFlag& m_stop;
    std::string m_slotName;
    std::string m_archive;
    bool m_taken = false;
    std::optional<Notice> m_failure; // written by the thread, read after joining it

    std::mutex m_mutex; // guards what follows, shared with the thread
    bool m_shown = false;
    bool m_began = false;
    bool m_ended = false;
    int32_t m_announced = 0;
    int32_t m_received = 0;

    std::thread m_thread; // last: starts once everything above is in place
};

} // namespace updater
