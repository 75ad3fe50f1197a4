#include "patch/UpdateRun.h"

#include "fetch/SignedFetch.h"
#include "patch/ArchivePrefetch.h"
#include "patch/Downloads.h"
#include "patch/GameFilesCheck.h"
#include "patch/InstalledFiles.h"
#include "patch/OwnFiles.h"
#include "patch/PatchDownload.h"
#include "patch/PatchExtraction.h"
#include "patch/PatchLists.h"
#include "patch/SharedArchive.h"
#include "patch/SlotRoom.h"
#include "patch/StagedSlot.h"
#include "platform/AtomicFile.h"
#include "platform/DiskSync.h"
#include "platform/EventLog.h"
#include "platform/FileOps.h"
#include "platform/GamePath.h"
#include "platform/PathText.h"
#include "platform/ProfileFile.h"
#include "platform/UpdaterError.h"
#include "player/PlayerContact.h"
#include "trust/IntegrityLine.h"

#include <QScopeGuard>

#include <algorithm>
#include <exception>
#include <map>

namespace updater {

namespace {

// The patch list is small: whole within five minutes, or the server is not serving it.
constexpr long ListWholeWithinSeconds = 5 * 60;

// Why the patch cannot be applied before its download, if it cannot; fills in what it must be.
const char* refusalOf(const CommunityKey& key, const PendingPatch& patch, std::optional<FileDigest>& expected)
{
    // With the community's key every patch must say what it is; a line that cannot be read
    // proves nothing either.
    if (!patch.integrity.empty())
        expected = parseIntegrityLine(patch.integrity);
    return key.state != CommunityKey::Absent && patch.integrity.empty() ? "no integrity line"
           : !patch.integrity.empty() && !expected                      ? "integrity line malformed"
                                                                        : nullptr;
}

// Each file a check found missing or changed, for the community that reads the log.
void logDamagedFiles(const GameFilesReport& report, const char* check)
{
    for (const DamagedFile& file : report.damaged)
        logEvent(std::string(check) +
                 (file.kind == DamagedFile::Kind::Missing ? ": missing " : ": changed ") + file.path + " (" +
                 file.recorded.slot + ", " + file.recorded.document + ")");
}

// The sizes the integrity lines give, for the run's progress; a line that cannot be read is
// refused when its slot's turn comes.
std::vector<std::optional<int64_t>> archiveSizes(const std::vector<PendingPatch>& patches)
{
    std::vector<std::optional<int64_t>> sizes;
    for (const PendingPatch& patch : patches) {
        const std::optional<FileDigest> digest = parseIntegrityLine(patch.integrity);
        sizes.push_back(digest ? std::optional<int64_t>(int64_t(digest->size)) : std::nullopt);
    }
    return sizes;
}

// The files on the disk before the records that name them: after a power cut a slot is either
// recorded with its files whole, or finished from its journal, or applied again. Throws when the
// record cannot be written.
void saveInstalledFiles(const std::vector<std::string>& written, InstalledFiles& installed)
{
    if (!syncWrittenFiles(written))
        logEvent("the files of a slot could not all be synced to the disk");
    installed.save();
}

// Checks an archive fetched whole against its integrity line, once, whichever way it came; the
// notice when it fails. A stopped check leaves the archive, which is whole: the next run checks it
// again instead of downloading it.
std::optional<Notice> integrityFailure(const StopFlag& stop, const PendingPatch& patch,
                                       const std::string& archive, const ArchiveCap& cap)
{
    if (!cap.expected)
        return std::nullopt;
    const IntegrityCheck check = checkFileIntegrity(archive, *cap.expected, &stop);
    if (check == IntegrityCheck::Matches)
        return std::nullopt;
    if (check != IntegrityCheck::Stopped)
        removeFile(archive);
    const std::string cause =
        check == IntegrityCheck::Stopped ? "stopped" : std::string(integrityCause(check));
    return Notice{NoticeKind::PatchUnavailable, patch.address, cause, cause, 0};
}

} // namespace

UpdateRun::UpdateRun(Configuration config, PlayerContact& player, QObject* parent)
    : QObject(parent), m_config(std::move(config)), m_player(player)
{
    // The client's events reach the display whichever task runs; the stop ends any of them.
    m_http.setWorkEvents(m_progress.workEvents());
    m_http.setStopFlag(&m_stop);
}

UpdateRun::~UpdateRun() = default;

void UpdateRun::setSharing(std::shared_ptr<PatchSharing> sharing)
{
    const std::lock_guard lock(m_sharingMutex);
    m_sharing = std::move(sharing);
}

std::shared_ptr<PatchSharing> UpdateRun::sharing() const
{
    const std::lock_guard lock(m_sharingMutex);
    return m_sharing;
}

void UpdateRun::applySpeedLimit()
{
    const DownloadSpeedLimit limit{m_speedLimit.load()};
    m_http.setMaximumSpeed(limit.bytesPerSecond());
    m_prefetchHttp.setMaximumSpeed(limit.bytesPerSecond());
    if (const std::shared_ptr<PatchSharing> shared = sharing())
        shared->setDownloadLimit(limit.kilobytesPerSecond);
    logEvent("download speed limit: " + limit.shown());
}

void UpdateRun::run()
{
    applySpeedLimit();
    m_key = loadCommunityKey();
    logEvent(m_key.state == CommunityKey::Absent  ? "community key: none, nothing is checked for a signature"
             : m_key.state == CommunityKey::Valid ? "community key: found"
                                                  : "community key: not readable, every list is refused");
    mendOwnFiles();
    finishInterruptedSlot();
    removeLeftovers();
    if (!m_config.patchMirrors.empty())
        m_mirrorSeed = gameFolderSeed();
    const bool listFetched = downloadPatchList();
    if (m_stop.requested())
        return;
    const bool applied = applyPendingPatches();
    // A download ahead of a slot the run did not reach ends with it.
    m_prefetch.reset();
    if (!m_stop.requested())
        emit updateEnded(listFetched && applied);
}

Notice UpdateRun::failure(const HttpClient& http, NoticeKind kind, const std::string& address,
                          const std::exception_ptr& error) const
{
    // The player reads the status text when the server's answer failed the request, and what went
    // wrong otherwise; a status text of an earlier, successful request would mislead.
    const std::string cause = failureText(error);
    const HttpClient::Failure transfer = http.lastFailure();
    return {kind, address, transfer.failed() ? transfer.cause : cause, cause, 0};
}

void UpdateRun::tell(const Notice& notice)
{
    switch (notice.kind) {
    case NoticeKind::ArchiveComment:
        // The player read it when the patch came; a repair does not show it again.
        if (m_repairing)
            return;
        break;
    case NoticeKind::ArchiveUnreadable:
        m_lastProblem = "archive cannot be opened (" + std::to_string(notice.code) + ")";
        break;
    case NoticeKind::ArchiveHeaderBroken:
        m_lastProblem = "archive cut or damaged";
        break;
    case NoticeKind::NoRoom:
        m_lastProblem = "not enough room on the game folder's disk: needs " + std::to_string(notice.needed) +
                        " bytes, " + std::to_string(notice.available) + " free";
        break;
    case NoticeKind::PatchPostponed:
        // The player chose it: nothing to tell; the next start tries the slot again.
        m_lastProblem = "the player went on without it while its server was busy";
        return;
    case NoticeKind::ArchiveEntryFailed:
        m_lastProblem = "entry " + notice.subject + " failed (" + std::to_string(notice.code) + ")";
        if (!notice.cause.empty())
            m_lastProblem += ": " + notice.cause;
        break;
    default:
        m_lastProblem = notice.reply.empty() ? notice.cause : notice.reply;
        break;
    }
    // Once the launcher ends, nobody is there to read it.
    if (!m_stop.requested())
        m_player.tell(notice);
}

bool UpdateRun::downloadPatchList()
{
    try {
        const std::string listPath = resolveGamePath(patchListPath());
        // A list trickling just fast enough would hold the run for hours.
        m_http.setWholeWithin(ListWholeWithinSeconds);
        const auto archivesAreNotLimited = qScopeGuard([this] { m_http.setWholeWithin(0); });
        SignedDocument list =
            fetchSigned(m_http, m_key, m_config.patchList, LargestPatchList, "list larger than 16 MiB",
                        {signatureInUse(listPath), "list older than the one in use"});
        if (!list.problem && ProfileFile::exceedsLineCaps(list.body))
            list.problem = "list has too many lines";
        if (list.problem) {
            logEvent("patch list refused: " + *list.problem);
            // A list that does not prove where it came from is not kept; the one on disk serves.
            tell({NoticeKind::PatchListUnavailable, m_config.patchList, *list.problem, *list.problem, 0});
            return false;
        }
        if (m_key.state == CommunityKey::Valid)
            logEvent("patch list: signature verified");
        writeFileAtomically(listPath, list.body, Durability::Durable);
        // The signature stays beside the list, so that a later run can trust the list on disk and
        // refuse one older than it.
        if (!list.signature.empty())
            writeFileAtomically(signatureAddress(listPath), list.signature, Durability::Durable);
        return true;
    } catch (...) {
        tell(failure(m_http, NoticeKind::PatchListUnavailable, m_config.patchList, std::current_exception()));
        return false;
    }
}

bool UpdateRun::listOnDiskIsSigned(const std::string& listPath) const
{
    std::string list;
    return readWholeFile(listPath, list) && !signatureProblem(m_key, list, signatureInUse(listPath));
}

ArchiveCap archiveCap(const std::optional<FileDigest>& expected)
{
    if (expected)
        return {expected->size, "size does not match", expected};
    return {LargestUnlistedArchive, "archive larger than 8 GiB", std::nullopt};
}

std::optional<Notice> UpdateRun::downloadArchive(HttpClient& http, const StopFlag& stop,
                                                 const PendingPatch& patch, const std::string& folder,
                                                 const std::string& archive, const ArchiveCap& cap,
                                                 std::function<void(RetryWait)> retrying, bool ahead)
{
    if (folder.empty()) {
        const std::string cause = "cannot create the downloads folder";
        return Notice{NoticeKind::PatchUnavailable, patch.address, cause, cause, 0};
    }
    // From players first, where the list pins a torrent; every outcome but a stop leaves the slot
    // to HTTP, which then goes on as without sharing.
    if (const std::shared_ptr<PatchSharing> shared = sharing();
        shared && shared->on() && !patch.torrentPin.empty() && cap.expected) {
        SharedArchiveWatch watch;
        watch.stop = &stop;
        watch.fromPlayers = [this, ahead](uint64_t bytes) {
            if (!ahead || m_prefetchOnDisplay)
                m_progress.bytesFromPlayers(int64_t(bytes));
        };
        switch (fetchFromPlayers(http, *shared, patch, *cap.expected, archive, watch)) {
        case FromPlayers::Got:
            return std::nullopt;
        case FromPlayers::Stopped:
            return Notice{NoticeKind::PatchUnavailable, patch.address, "stopped", "stopped", 0};
        case FromPlayers::OverHttp:
            break;
        }
    }
    // Its own address first, then the mirrors in this folder's order.
    std::vector<std::string> addresses{patch.address};
    for (const std::string& mirror : mirrorOrder(m_config.patchMirrors, m_mirrorSeed))
        addresses.push_back(mirrorAddress(mirror, patch.address));
    // The player hears of the archive's own address; the mirrors are the community's fallback.
    std::optional<Notice> originFailure;
    DownloadWatch watch;
    watch.stop = &stop;
    watch.retrying = std::move(retrying);
    watch.beforeWriting = [](uint64_t stillToCome, uint64_t whole) { requireRoom(".", stillToCome + whole); };
    watch.whileBusy = [this, &patch, ahead](BusyTime busy) {
        return busyChoice(busy, patch.documentName, !ahead || m_prefetchOnDisplay);
    };
    watch.tooLarge = cap.tooLarge;
    try {
        downloadFromAddresses(http, addresses, archive, cap.largest, watch, [&](size_t index) {
            const Notice failed =
                failure(http, NoticeKind::PatchUnavailable, addresses[index], std::current_exception());
            if (index == 0)
                originFailure = failed;
            else
                logEvent("mirror " + addressForLog(addresses[index]) + " failed: " + failed.reply);
        });
    } catch (const NotEnoughRoom& room) {
        return Notice{NoticeKind::NoRoom, patch.documentName, {}, room.what(), 0,
                      room.needed,        room.available};
    } catch (const DownloadPostponed& postponed) {
        return Notice{NoticeKind::PatchPostponed, patch.address, {}, postponed.what(), 0};
    } catch (...) {
        if (!originFailure)
            originFailure =
                failure(http, NoticeKind::PatchUnavailable, patch.address, std::current_exception());
        return originFailure;
    }
    return integrityFailure(stop, patch, archive, cap);
}

bool UpdateRun::roomFor(const PendingPatch& patch, uint64_t needed)
{
    try {
        requireRoom(".", needed);
        return true;
    } catch (const NotEnoughRoom& room) {
        tell({NoticeKind::NoRoom, patch.documentName, {}, room.what(), 0, room.needed, room.available});
        return false;
    }
}

BusyChoice UpdateRun::busyChoice(BusyTime busy, const std::string& document, bool mayAsk)
{
    if (m_busyWaitLimit && busy.waited >= *m_busyWaitLimit)
        return BusyChoice::GiveUp;
    // Once a run, and not while the run ends: the player would answer a box for nothing.
    if (!busy.timeToAsk || !mayAsk || m_stop.requested() || m_busyQuestionAsked.exchange(true))
        return BusyChoice::Wait;
    if (m_player.keepWaitingForBusyServer(document)) {
        logEvent("the player waits on for the busy server of " + document);
        return BusyChoice::Wait;
    }
    return BusyChoice::GoOnWithout;
}

bool UpdateRun::applyPendingPatches()
{
    const std::string listPath = resolveGamePath(patchListPath());
    if (!fileExists(listPath)) {
        try {
            writeFileAtomically(listPath, {});
        } catch (...) {
            // Without an updater folder there is no list to keep; the run ends all the same.
        }
        return true;
    }
    if (m_key.state != CommunityKey::Absent && !listOnDiskIsSigned(listPath))
        return false; // kept from before the key was shipped: nothing in it is proven
    const ProfileFile patchList(listPath);
    // Read as empty, such a list would report every patch applied.
    if (patchList.tooLarge()) {
        logEvent("the saved patch list is larger than 16 MiB or has too many lines: nothing applied");
        tell({NoticeKind::PatchListUnavailable, m_config.patchList, "list has too many lines",
              "list has too many lines", 0});
        return false;
    }
    ProfileFile appliedRecord(resolveGamePath(appliedRecordPath()));
    // Read as empty, such a record would have every patch applied again over newer ones.
    if (appliedRecord.tooLarge()) {
        logEvent("the record of applied patches is larger than 16 MiB: nothing applied");
        tell({NoticeKind::RecordUnreadable, {}, "The file is larger than 16 MiB.", {}, 0});
        return false;
    }
    appliedRecord.writeDurably();
    const std::vector<PendingPatch> pending = pendingPatches(patchList, appliedRecord);
    m_progress.planRun(archiveSizes(pending));
    InstalledFiles installed = openInstalledFiles();
    for (size_t i = 0; i < pending.size(); ++i) {
        const PendingPatch& patch = pending[i];
        if (m_stop.requested())
            return false;
        m_lastProblem.clear();
        const std::string slot = "slot " + slotKey(patch.slot) + " (" + patch.documentName + ")";
        m_patchNumber = static_cast<int>(i + 1);
        if (!applyPatch(patch, i + 1 < pending.size() ? &pending[i + 1] : nullptr, appliedRecord,
                        installed)) {
            logEvent(slot + " refused: " + (m_stop.requested() ? "stopped" : m_lastProblem));
            return false;
        }
        logEvent(slot + " applied");
    }
    return true;
}

std::optional<std::string> UpdateRun::obtainArchive(const PendingPatch& patch, const PendingPatch* next,
                                                    std::optional<FileDigest>& expected)
{
    m_progress.archiveStarted(m_patchNumber, patch.documentName);
    emit patchStarted(QString::fromLatin1(patch.documentName));
    if (const char* refusal = refusalOf(m_key, patch, expected)) {
        tell({NoticeKind::PatchUnavailable, patch.address, refusal, refusal, 0});
        return std::nullopt;
    }
    const std::string folder = downloadsFolder(true);
    const std::string archive = folder + "/" + downloadFileName(patch.address);
    // An archive that a stopped run had whole serves again once it proves to be the one named.
    const bool kept = expected && !m_prefetch && !folder.empty() && fileExists(archive) &&
                      checkFileIntegrity(archive, *expected, &m_stop) == IntegrityCheck::Matches;
    // Nothing starts once a stop has begun.
    if (m_stop.requested())
        return std::nullopt;
    // With its size known, a slot that cannot fit is refused before a byte of it is fetched.
    if (!kept && !m_prefetch && expected &&
        !roomFor(patch, roomToFetch(expected->size, regularFileSize(PartFiles(archive).part).value_or(0))))
        return std::nullopt;
    if (!kept && !fetchArchive(patch, expected, folder, archive))
        return std::nullopt;
    if (m_stop.requested())
        return std::nullopt;
    // The transfer overlaps this slot's extraction only; one archive ahead keeps the disk bounded.
    if (next)
        startPrefetch(*next, folder, archive);
    emit unpackingStarted();
    return archive;
}

bool UpdateRun::unpack(const PendingPatch& patch, const std::string& archive, bool verified,
                       InstalledFiles& installed, const std::map<std::string, std::string>* onlyThese)
{
    ExtractionContext extraction;
    extraction.showCount = [this](int unpacked) {
        m_progress.setCaption({TransferCaption::Kind::Unpacked, {}, unpacked});
    };
    extraction.player = this;
    extraction.stop = &m_stop;
    if (onlyThese)
        extraction.wanted = [onlyThese](const std::string& path) {
            return onlyThese->contains(lowerAscii(path));
        };
    // The whole slot stands in the staging folder beside the old files before it is put in place.
    if (const std::optional<uint64_t> needed = roomToUnpack(archive); needed && !roomFor(patch, *needed)) {
        if (!verified)
            removeFile(archive); // a verified one serves the start that has the room
        return false;
    }
    const std::string slot = slotKey(patch.slot);
    std::vector<std::string> written;
    extraction.written = [&](const std::string& path, uint64_t size, const std::string& crc32) {
        installed.note(path, {slot, patch.documentName, size, crc32});
        written.push_back(path);
        // A file whose folder now resolves in another letter case is recorded as written.
        if (!onlyThese)
            return;
        const auto recorded = onlyThese->find(lowerAscii(path));
        if (recorded != onlyThese->end() && recorded->second != path)
            installed.forget(recorded->second);
    };
    // Once the journal names the staged files, a crash while they are put in place leaves the slot
    // for the next start to finish.
    extraction.staged = [this, &patch](const std::vector<StagedEntry>& entries) {
        try {
            writeSlotJournal({patch.slot, patch.documentName, entries});
            return true;
        } catch (...) {
            tell({NoticeKind::RecordNotWritten,
                  patch.documentName,
                  {},
                  failureText(std::current_exception())});
            return false;
        }
    };
    const bool extracted = extractPatchArchive(archive, patch.documentName, extraction);
    // A verified archive whose extraction was stopped stays for the next run; otherwise it has served.
    if (extracted || !m_stop.requested() || !verified)
        removeFile(archive);
    if (!extracted)
        return false;
    try {
        saveInstalledFiles(written, installed);
    } catch (...) {
        tell({NoticeKind::RecordNotWritten, patch.documentName, {}, failureText(std::current_exception())});
        return false;
    }
    return true;
}

bool UpdateRun::applyPatch(const PendingPatch& patch, const PendingPatch* next, ProfileFile& appliedRecord,
                           InstalledFiles& installed)
{
    std::optional<FileDigest> expected;
    const std::optional<std::string> archive = obtainArchive(patch, next, expected);
    if (!archive || !unpack(patch, *archive, expected.has_value(), installed))
        return false;
    try {
        recordApplied(appliedRecord, patch);
    } catch (...) {
        tell({NoticeKind::RecordNotWritten, patch.documentName, {}, failureText(std::current_exception())});
        return false;
    }
    // Recorded, the slot is finished. A journal left by a failure lets the next start finish it.
    dropSlotJournal();
    return true;
}

void UpdateRun::finishInterruptedSlot()
{
    SlotJournal journal;
    const JournalRead read = readSlotJournal(journal);
    if (read != JournalRead::Read) {
        if (read == JournalRead::Unreadable)
            logEvent("the journal of an interrupted slot is not readable: its slot is applied again");
        // Without a journal, nothing of the staging folder was put in place.
        dropSlotJournal();
        return;
    }
    const PendingPatch patch{journal.slot, {}, journal.document, {}, {}};
    const std::string slot = "slot " + slotKey(patch.slot) + " (" + patch.documentName + ")";
    InstalledFiles installed = openInstalledFiles();
    std::vector<std::string> written;
    const std::optional<PlacementFailure> failure =
        placeStagedEntries(journal.entries, [&](const StagedEntry& entry) {
            installed.note(entry.target, {slotKey(patch.slot), patch.documentName, entry.size, entry.crc32});
            written.push_back(entry.target);
        });
    try {
        if (failure)
            throw UpdaterError(failure->target + ": " + failure->cause);
        ProfileFile appliedRecord(resolveGamePath(appliedRecordPath()));
        if (appliedRecord.tooLarge())
            throw UpdaterError("the record of applied patches is larger than 16 MiB");
        saveInstalledFiles(written, installed);
        recordApplied(appliedRecord, patch);
        logEvent(slot + " was interrupted while its files were put in place: now finished");
    } catch (...) {
        // Left unrecorded, the slot is applied again.
        logEvent(slot + " was interrupted while its files were put in place and cannot be finished: " +
                 failureText(std::current_exception()));
    }
    dropSlotJournal();
}

void UpdateRun::verify()
{
    // Read as it stands: a check mends nothing, not even the record.
    const InstalledFiles record(resolveGamePath(installedFilesPath()));
    m_repairReport = {};
    m_repairReport.before = checkGameFiles(record, &m_stop, checkingProgress());
    logDamagedFiles(m_repairReport.before, "check");
    if (!m_stop.requested())
        emit verifyEnded(m_repairReport);
}

void UpdateRun::repair()
{
    m_repairing = true;
    applySpeedLimit();
    m_key = loadCommunityKey();
    mendOwnFiles();
    finishInterruptedSlot();
    removeLeftovers(true);
    if (!m_config.patchMirrors.empty())
        m_mirrorSeed = gameFolderSeed();
    InstalledFiles installed = openInstalledFiles();
    m_repairReport = {};
    m_repairReport.before = checkGameFiles(installed, &m_stop, checkingProgress());
    logDamagedFiles(m_repairReport.before, "check");
    if (m_stop.requested())
        return;
    const std::vector<PendingPatch> mending = patchesMending(m_repairReport.before);
    m_progress.planRun(archiveSizes(mending));
    m_patchNumber = 0;
    for (const PendingPatch& patch : mending) {
        ++m_patchNumber;
        // By letter case alone, as the game folder resolves names.
        std::map<std::string, std::string> damaged;
        for (const DamagedFile& file : m_repairReport.before.damaged)
            if (file.recorded.slot == slotKey(patch.slot))
                damaged[lowerAscii(file.path)] = file.path;
        std::optional<FileDigest> expected;
        const std::optional<std::string> archive = obtainArchive(patch, nullptr, expected);
        // Only the damaged files: never one that no patch brought, nor one the player changed
        // on purpose and that is whole.
        const bool mended = archive && unpack(patch, *archive, expected.has_value(), installed, &damaged);
        if (mended)
            dropSlotJournal();
        logEvent("repair: slot " + slotKey(patch.slot) + " (" + patch.documentName + ") " +
                 (mended               ? "mended"
                  : m_stop.requested() ? "stopped"
                                       : "failed: " + m_lastProblem));
        if (m_stop.requested())
            return;
    }
    m_repairReport.after = checkGameFiles(installed, &m_stop, checkingProgress());
    logDamagedFiles(m_repairReport.after, "after the repair");
    if (!m_stop.requested())
        emit repairEnded(m_repairReport);
}

std::function<void(size_t, size_t)> UpdateRun::checkingProgress()
{
    // A game of a hundred thousand files would otherwise flood the window with signals.
    return [this, shown = size_t(0)](size_t done, size_t total) mutable {
        const size_t percent = done * 100 / std::max<size_t>(total, 1);
        if (percent != shown || done == total) {
            shown = percent;
            emit checkingFiles(static_cast<int>(done), static_cast<int>(total));
        }
    };
}

std::vector<PendingPatch> UpdateRun::patchesMending(const GameFilesReport& report)
{
    if (report.damaged.empty())
        return {};
    const std::string listPath = resolveGamePath(patchListPath());
    // The archives come from the list in use, under the same checks as an update.
    if (m_key.state != CommunityKey::Absent && !listOnDiskIsSigned(listPath)) {
        logEvent("repair: the saved patch list is not signed: nothing mended");
        m_repairReport.listNotSigned = true;
        return {};
    }
    std::vector<PendingPatch> mending;
    for (PendingPatch& patch : listedPatches(ProfileFile(listPath))) {
        const bool owns =
            std::any_of(report.damaged.begin(), report.damaged.end(), [&](const DamagedFile& file) {
                return file.recorded.slot == slotKey(patch.slot) &&
                       file.recorded.document == patch.documentName;
            });
        if (owns)
            mending.push_back(std::move(patch));
    }
    for (const DamagedFile& file : report.damaged) {
        const bool listed = std::any_of(mending.begin(), mending.end(), [&](const PendingPatch& patch) {
            return file.recorded.slot == slotKey(patch.slot);
        });
        if (listed)
            continue;
        m_repairReport.notListed.push_back(file);
        logEvent("repair: " + file.path + " cannot be mended: the list no longer names " +
                 file.recorded.document + " in " + file.recorded.slot);
    }
    return mending;
}

bool UpdateRun::fetchArchive(const PendingPatch& patch, const std::optional<FileDigest>& expected,
                             const std::string& folder, const std::string& archive)
{
    std::optional<Notice> downloadFailure;
    if (m_prefetch) {
        // Begun while the previous slot unpacked: only now does the player see it (or its
        // outcome, if it is over already) and hear of its failure.
        m_prefetchOnDisplay = true;
        m_prefetch->show();
        downloadFailure = m_prefetch->take();
        m_prefetch.reset();
    } else {
        // The window shows captions where the document's name stands; it returns for the retry.
        downloadFailure = downloadArchive(
            m_http, m_stop, patch, folder, archive, archiveCap(expected), [this, &patch](RetryWait wait) {
                m_progress.setCaption(TransferCaption::retrying(wait, patch.documentName));
            });
    }
    // Each way of fetching it checked the archive against its integrity line.
    if (downloadFailure) {
        tell(*downloadFailure);
        return false;
    }
    return true;
}

void UpdateRun::startPrefetch(const PendingPatch& next, const std::string& folder, const std::string& archive)
{
    std::optional<FileDigest> expected;
    const std::string nextArchive = folder + "/" + downloadFileName(next.address);
    // A refused slot is told when its turn comes; an archive of the same address would replace
    // the one being unpacked; one kept from a stopped run is checked when its turn comes.
    if (refusalOf(m_key, next, expected) || nextArchive == archive || fileExists(nextArchive) ||
        !roomToFetchAhead(archive, expected ? expected->size : 0))
        return;
    const ArchiveCap cap = archiveCap(expected);
    m_prefetchOnDisplay = false;
    m_prefetch = std::make_unique<ArchivePrefetch>(
        m_prefetchHttp, m_prefetchStop, m_progress, next.documentName, nextArchive,
        [this, next, folder, nextArchive, cap](HttpClient& http, std::function<void(RetryWait)> retrying) {
            return downloadArchive(http, m_prefetchStop, next, folder, nextArchive, cap, std::move(retrying),
                                   true);
        });
}

} // namespace updater
