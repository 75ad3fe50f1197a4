#include "patch/UpdateRun.h"

#include "net/HttpClient.h"
#include "patch/Downloads.h"
#include "patch/PatchDownload.h"
#include "patch/PatchExtraction.h"
#include "patch/PatchLists.h"
#include "platform/AtomicFile.h"
#include "platform/GamePath.h"
#include "platform/PlayerContact.h"
#include "platform/ProfileFile.h"
#include "platform/UpdaterError.h"

#include <exception>
#include <unistd.h>

namespace updater {

namespace {

// A patch list names archives; anything near this size is not one, and memory must stay bounded.
constexpr size_t LargestPatchList = 16 * 1024 * 1024;

std::string causeOf(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "unknown error";
    }
}

} // namespace

UpdateRun::UpdateRun(const Configuration& config, HttpClient& http, PlayerContact& player, QObject* parent)
    : QObject(parent), m_config(config), m_http(http), m_player(player)
{}

void UpdateRun::run()
{
    m_http.setWorkEvents(m_progress.workEvents());
    m_http.setStopFlag(&m_stop);
    removeLeftovers();
    const bool listFetched = downloadPatchList();
    if (m_stop.requested())
        return;
    const bool applied = applyPendingPatches();
    if (!m_stop.requested())
        emit finished(listFetched && applied);
}

void UpdateRun::tell(const Notice& notice)
{
    // Once the launcher ends, nobody is there to read it.
    if (!m_stop.requested())
        m_player.tell(notice);
}

bool UpdateRun::downloadPatchList()
{
    try {
        std::string list;
        m_http.get(m_config.patchList, [&](const char* data, size_t size) {
            if (list.size() + size > LargestPatchList)
                throw UpdaterError("list larger than 16 MiB");
            list.append(data, size);
        });
        writeFileAtomically(resolveGamePath(patchListPath()), list);
        return true;
    } catch (...) {
        tell({NoticeKind::PatchListUnavailable, m_config.patchList, m_http.lastReplyText(),
              causeOf(std::current_exception())});
        return false;
    }
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
    const ProfileFile patchList(listPath);
    ProfileFile appliedRecord(resolveGamePath(appliedRecordPath()));
    for (const PendingPatch& patch : pendingPatches(patchList, appliedRecord))
        if (m_stop.requested() || !applyPatch(patch, appliedRecord))
            return false;
    return true;
}

bool UpdateRun::applyPatch(const PendingPatch& patch, ProfileFile& appliedRecord)
{
    emit patchStarted(QString::fromLatin1(patch.documentName));
    const std::string folder = downloadsFolder(true);
    const std::string archive = folder + "/" + downloadFileName(patch.address);
    try {
        if (folder.empty())
            throw UpdaterError("cannot create the downloads folder");
        downloadToFile(m_http, patch.address, archive);
    } catch (...) {
        tell({NoticeKind::PatchUnavailable, patch.address, m_http.lastReplyText(),
              causeOf(std::current_exception())});
        return false;
    }
    emit unpackingStarted();

    ExtractionContext extraction;
    extraction.showCaption = [this](const std::string& caption) { m_progress.setCaption(caption); };
    extraction.player = &m_player;
    extraction.stop = &m_stop;
    const bool extracted = extractPatchArchive(archive, patch.documentName, extraction);
    ::unlink(archive.c_str());
    if (!extracted)
        return false;

    try {
        recordApplied(appliedRecord, patch);
    } catch (...) {
        tell({NoticeKind::RecordNotWritten, patch.documentName, {}, causeOf(std::current_exception())});
        return false;
    }
    return true;
}

} // namespace updater
