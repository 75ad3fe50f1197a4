#pragma once

#include "config/Configuration.h"
#include "net/DownloadSpeedLimit.h"
#include "net/HttpClient.h"
#include "patch/GameFilesCheck.h"
#include "patch/PatchDownload.h"
#include "patch/RunProgress.h"
#include "platform/StopFlag.h"
#include "trust/CommunityKey.h"
#include "trust/Sha256.h"

#include "player/PlayerContact.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace updater {

class ArchivePrefetch;
class PatchSharing;
class InstalledFiles;
class PlayerContact;
class ProfileFile;
struct PendingPatch;

// The most of an archive a download takes: the integrity line's size, or without one a cap past
// which no patch is plausible, so that no answer can fill the disk.
struct ArchiveCap
{
    uint64_t largest;
    std::string tooLarge;               // the cause past it
    std::optional<FileDigest> expected; // the integrity line, when the slot has one
};
inline constexpr uint64_t LargestUnlistedArchive = 8ull * 1024 * 1024 * 1024;
ArchiveCap archiveCap(const std::optional<FileDigest>& expected);

// The update run: fetches the patch list and applies, in slot order, every slot the record does
// not show as applied (download, extraction, deletion, record). A slot that fails ends the run
// and stays unrecorded, so the next start retries it and no later patch lands on a missing one.
// While a slot unpacks, the next slot's archive is already downloaded (see ArchivePrefetch); the
// player still sees and hears of every slot in order, and a failed slot drops that archive.
//
// It lives on a thread of its own; it tells the player about failures through `player` (and waits
// for the answer), and reports its progress by signals. stop() may be called from any thread.
// It owns its HTTP clients and its copy of the configuration: nothing else of the launcher (the
// configuration refresh on the window's thread, say) shares them while a task runs.
class UpdateRun : public QObject, private PlayerContact
{
    Q_OBJECT
public:
    // The player contact must outlive the run; the configuration is the run's own copy.
    UpdateRun(Configuration config, PlayerContact& player, QObject* parent = nullptr);
    ~UpdateRun() override;

    RunProgress& progress() { return m_progress; }
    // The longest a slot waits for busy servers (a run without a window, which has nobody to ask);
    // none: the usual half hour. Before the run starts.
    void setBusyWaitLimit(std::optional<std::chrono::seconds> limit) { m_busyWaitLimit = limit; }

    // Ends the run soon: a transfer stops within a second, keeping what arrived for a later resume
    // in the downloads folder and nothing in the game folder; an extraction abandons the entry it
    // writes. No outcome signal is emitted then.
    void stop()
    {
        m_stop.request();
        m_prefetchStop.request();
    }

    // The player's limit for the downloads of the next task (an update or a repair) and each after
    // it, until set again; the log names it as the task begins. No limit until set. May be called
    // from any thread.
    void setSpeedLimit(DownloadSpeedLimit limit) { m_speedLimit = limit.kilobytesPerSecond; }

    // The player's part in the swarm, while the player shares patches: each slot with a pinned
    // torrent and an integrity line is then fetched from players and web seeds first. Nothing: over
    // HTTP only. Takes effect with the next download; may be called from any thread.
    void setSharing(std::shared_ptr<PatchSharing> sharing);

public slots:
    // The whole run, on the calling thread.
    void run();
    // Instead of run(): checks the game folder against the record of installed files, without the
    // network, writing nothing; verifyEnded() tells what it found.
    void verify();
    // Instead of run(): checks the game folder against the record of installed files and mends
    // every damaged file from the archive of the slot that wrote it, under the same checks as an
    // update, from the saved list; writes only those files; checks again; repairEnded() tells.
    void repair();

signals:
    // A patch download begins; the download display names the document.
    void patchStarted(const QString& documentName);
    // The download is complete and the archive is being unpacked.
    void unpackingStarted();
    // repair() or verify() has checked `done` of `total` files (at most once a percent).
    void checkingFiles(int done, int total);
    // Each task's end, unless it was stopped. run(): `allApplied` is false when a slot failed or the
    // list could not be had.
    void updateEnded(bool allApplied);
    // verify(): only `before` is filled.
    void verifyEnded(const RepairReport& report);
    void repairEnded(const RepairReport& report);

private:
    bool downloadPatchList();
    bool applyPendingPatches();
    // Fetches the archive from its own address and the mirrors (downloadFromAddresses); the notice
    // the player is to hear, of its own address, when none gave it. Runs on the run's thread and on
    // the prefetch's, with its own client.
    // `ahead`: fetched ahead of its turn, so the player is asked about busy servers only once the
    // slot is on display.
    std::optional<Notice> downloadArchive(HttpClient& http, const StopFlag& stop, const PendingPatch& patch,
                                          const std::string& folder, const std::string& archive,
                                          const ArchiveCap& cap, std::function<void(RetryWait)> retrying,
                                          bool ahead = false);
    // Whether the game folder's disk has `needed` bytes for the slot; told when not.
    bool roomFor(const PendingPatch& patch, uint64_t needed);
    // What a slot does while its servers are busy: the run's limit, then once a run the player's say.
    BusyChoice busyChoice(BusyTime busy, const std::string& document, bool mayAsk);
    bool listOnDiskIsSigned(const std::string& listPath) const;
    // `next` is the slot after this one, if any, whose download begins while this one unpacks.
    // Downloads the slot's archive (or takes what was fetched ahead) and checks it; false, told,
    // when it cannot be had.
    bool fetchArchive(const PendingPatch& patch, const std::optional<FileDigest>& expected,
                      const std::string& folder, const std::string& archive);
    // Downloads the slot's archive (or takes what was fetched ahead, or kept) and checks it; its
    // path, or nothing (told) when it cannot be had. Starts fetching `next` meanwhile.
    std::optional<std::string> obtainArchive(const PendingPatch& patch, const PendingPatch* next,
                                             std::optional<FileDigest>& expected);
    // Unpacks the archive, notes every file written in `installed` and, once they are on the disk,
    // saves it. With `onlyThese` (a repair: lower-case path to the path recorded), only those files.
    bool unpack(const PendingPatch& patch, const std::string& archive, bool verified,
                InstalledFiles& installed, const std::map<std::string, std::string>* onlyThese = nullptr);
    // Before anything else of a start: a slot that a crash interrupted while its files were put in
    // place is finished from its journal; a staging folder without one goes.
    void finishInterruptedSlot();
    bool applyPatch(const PendingPatch& patch, const PendingPatch* next, ProfileFile& appliedRecord,
                    InstalledFiles& installed);
    std::function<void(size_t, size_t)> checkingProgress();
    // The slots of the saved list whose archives wrote the damaged files; what cannot be mended
    // goes into m_repairReport.
    std::vector<PendingPatch> patchesMending(const GameFilesReport& report);
    // Gives both clients the player's limit and logs it. Each may take all of it: the fetch ahead
    // runs only while this slot unpacks, never beside a download of the run's own client.
    void applySpeedLimit();
    void startPrefetch(const PendingPatch& next, const std::string& folder, const std::string& archive);
    // Every notice of the run, the extraction's included, passes here on its way to the player.
    void tell(const Notice& notice) override;
    Notice failure(const HttpClient& http, NoticeKind kind, const std::string& address,
                   const std::exception_ptr& error) const;

    std::shared_ptr<PatchSharing> sharing() const;

    const Configuration m_config;
    HttpClient m_http;
    PlayerContact& m_player;
    RunProgress m_progress;
    StopFlag m_stop;
    CommunityKey m_key;
    uint64_t m_mirrorSeed = 0; // this game folder's order of the mirrors
    int m_patchNumber = 0;     // the slot's place among those of this run, from 1
    std::string m_lastProblem; // what the current slot was last refused for, for the log
    // The prefetch has a flag of its own, requested by stop() too, so that a failed slot can end
    // it without taking the run's failure notice and finished() along.
    StopFlag m_prefetchStop;
    HttpClient m_prefetchHttp;
    std::unique_ptr<ArchivePrefetch> m_prefetch; // the next slot's download, while one runs
    std::atomic<uint32_t> m_speedLimit{0};       // kB/s, see setSpeedLimit
    RepairReport m_repairReport;
    bool m_repairing = false;
    std::optional<std::chrono::seconds> m_busyWaitLimit;
    std::atomic<bool> m_busyQuestionAsked{false};
    std::atomic<bool> m_prefetchOnDisplay{false};
    mutable std::mutex m_sharingMutex;
    std::shared_ptr<PatchSharing> m_sharing;
};

} // namespace updater
