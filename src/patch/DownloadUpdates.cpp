#include "patch/DownloadUpdates.h"

#include "net/HttpClient.h"
#include "patch/DownloadDisplay.h"
#include "patch/PatchDownload.h"
#include "patch/PatchExtraction.h"
#include "patch/PatchLists.h"
#include "platform/AtomicFile.h"
#include "platform/DialogService.h"
#include "platform/GamePath.h"
#include "platform/ProfileFile.h"

#include <unistd.h>

namespace updater {

namespace {

void showAlert(const std::string& text)
{
    messageBox(text, "Alert", DialogIcon::Stop);
}

} // namespace

DownloadUpdates::DownloadUpdates(const Configuration& config, HttpClient& http, DownloadDisplay& display,
                                 Hooks hooks, QObject* parent)
    : QThread(parent), m_config(config), m_http(http), m_display(display), m_hooks(std::move(hooks))
{}

void DownloadUpdates::run()
{
    execute();
}

void DownloadUpdates::execute()
{
    downloadPatchList();
    applyPendingPatches();
    if (m_hooks.armTimer)
        m_hooks.armTimer();
}

void DownloadUpdates::downloadPatchList()
{
    try {
        std::string list;
        m_http.get(m_config.patchList, [&](const char* data, size_t size) { list.append(data, size); });
        writeFileAtomically(resolveGamePath(patchListPath()), list);
    } catch (...) {
        showAlert("-= CRITICAL ERROR 3 =-\n\nCan't download new " + m_config.patchList +
                  "\n\nError message: " + m_http.lastReplyText() +
                  "\nAsk GM for fix.\n\nPossible updates will be skiped...");
    }
}

void DownloadUpdates::applyPendingPatches()
{
    const std::string listPath = resolveGamePath(patchListPath());
    if (!fileExists(listPath)) {
        try {
            writeFileAtomically(listPath, {});
        } catch (...) {
            // Without an updater folder there is no list to keep; the monitors start all the same.
        }
        startMonitors();
        return;
    }
    const ProfileFile patchList(listPath);
    ProfileFile appliedRecord(resolveGamePath(appliedRecordPath()));
    for (const PendingPatch& patch : pendingPatches(patchList, appliedRecord))
        if (!applyPatch(patch, appliedRecord))
            break;
    startMonitors();
}

bool DownloadUpdates::applyPatch(const PendingPatch& patch, ProfileFile& appliedRecord)
{
    m_display.showDownloadDisplay(patch.documentName);
    const std::string archive = resolveGamePath(patch.documentName);
    try {
        downloadToFile(m_http, patch.address, archive);
    } catch (...) {
        showAlert("-= CRITICAL ERROR 3 =-\n\nCan't download: " + patch.address + "\n\nError message: " +
                  m_http.lastReplyText() + "\nAsk GM for fix.\n\nUpdates will be skiped..");
        return false;
    }
    m_display.showUnpacking();

    ExtractionHooks hooks;
    hooks.showFilenameCaption = [this](const std::string& caption) {
        m_display.postFilenameCaption(caption);
    };
    hooks.requestWindowClose = m_hooks.requestWindowClose;
    const bool extracted = extractPatchArchive(patch.documentName, hooks);
    ::unlink(archive.c_str());
    // A slot whose archive did not unpack whole stays unrecorded, so the next start retries it
    // and no later patch lands on top of a missing one.
    if (!extracted)
        return false;

    try {
        recordApplied(appliedRecord, patch);
    } catch (...) {
        showAlert("-= CRITICAL ERROR 3 =-\n\nCan't write " + appliedRecordPath() + "\n\nPatch " +
                  patch.documentName + " was applied but cannot be recorded." +
                  "\nCheck that the file is not read-only.\n\nUpdates will be skiped..");
        return false;
    }
    return true;
}

void DownloadUpdates::startMonitors()
{
    if (m_hooks.startMonitors)
        m_hooks.startMonitors();
}

} // namespace updater
