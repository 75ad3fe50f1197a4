#pragma once

#include "net/HttpClient.h"
#include "patch/DownloadPicture.h"
#include "patch/SpeedMeter.h"
#include "patch/TransferCaption.h"

#include <QObject>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace updater {

// What the download display shows at one moment of a run, as numbers; the window and the console
// word it.
struct ProgressPicture
{
    DownloadPicture gauge;   // the transfer in progress, as the gauge and its labels show it
    int archiveNumber = 0;   // the archive's place among the run's archives, from 1; 0 before any
    int archiveCount = 0;    // the run's archives
    std::string archiveName; // its document name
    int64_t archiveBytes = 0, archiveSize = 0; // a size of 0 is not known yet
    int64_t runBytes = 0, runSize = 0;         // of all the run's archives; 0 while one is unknown
    int64_t bytesPerSecond = 0;                // over the last seconds of flow; 0 until measured
    int64_t archiveFromPlayers = 0;            // of archiveBytes, the bytes other players sent
    std::optional<int64_t> archiveSecondsLeft, runSecondsLeft;

    bool operator==(const ProgressPicture&) const = default;
};

// The counts of a run, kept in one place: which archive of how many, the bytes of this archive and
// of the whole run, the speed while bytes flow, the time left. Written by whichever thread
// transfers (the run's, or the one fetching ahead once it is on display), read by the window or
// the console. Changes come far faster than a display can draw them, so they are coalesced: at
// most one change signal waits for the receiver, which then takes the latest state. The last
// picture of a transfer is therefore always exact, and a long download is never held up by the
// display. During a wait before a retry the numbers stay as they were: a busy server's answer is
// no part of the archive.
class RunProgress : public QObject
{
    Q_OBJECT
public:
    explicit RunProgress(const Clock& clock = Clock::steady(), QObject* parent = nullptr);

    // The run's side. The sizes of the archives the run is to fetch, in order (none where no
    // integrity line gives it).
    void planRun(std::vector<std::optional<int64_t>> archiveSizes);
    // The archive at `number` (from 1) of the plan is next.
    void archiveStarted(int number, const std::string& name);
    // Begin, work and end events of an HTTP client.
    HttpClient::WorkEvents workEvents();
    // Of the archive's bytes so far, those that came from other players (a shared download).
    void bytesFromPlayers(int64_t bytes);
    // A new caption above the bar (the patch, a retry's countdown, the entries unpacked).
    void setCaption(const TransferCaption& caption);

    // The receiver's side: the latest state, re-arming the change signal.
    ProgressPicture takePicture();
    TransferCaption takeCaption();

signals:
    void pictureChanged();
    void captionChanged();

private:
    // Under the mutex: the picture of the present counts, signalled when it changed.
    void changed(std::unique_lock<std::mutex>& lock);
    ProgressPicture picture() const;

    std::mutex m_mutex; // guards everything below
    SpeedMeter m_speed;
    std::vector<std::optional<int64_t>> m_sizes;
    int m_number = 0;
    std::string m_name;
    int64_t m_announced = 0;
    int64_t m_received = 0;
    int64_t m_fromPlayers = 0;
    bool m_anyPicture = false;
    ProgressPicture m_picture;
    bool m_pictureSignalled = false;
    TransferCaption m_caption;
    bool m_captionSignalled = false;
};

} // namespace updater
