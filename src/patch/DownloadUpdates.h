#pragma once

#include "config/Configuration.h"

#include <QThread>

#include <functional>

namespace updater {

class DownloadDisplay;
class HttpClient;
class ProfileFile;
struct PendingPatch;

// The update worker: fetches the patch list, applies every slot the record does not show as
// applied (download, extraction, deletion, record), then starts the monitors and arms the
// window's one-shot timer. One instance per run of the launcher; run() is the whole job.
class DownloadUpdates : public QThread
{
public:
    struct Hooks
    {
        // Starts PingServer_S1 (and PingServer_S2 when two servers are configured); called on
        // the worker thread.
        std::function<void()> startMonitors;
        // Enables Timer_WhenShowUP; called on the worker thread as its last act.
        std::function<void()> armTimer;
        // Asks the main window to close as the QUIT button does; true when it closed. Called on
        // the window thread after an archive that cannot be opened.
        std::function<bool()> requestWindowClose;
    };

    // The configuration, the client and the display must outlive the worker's run.
    DownloadUpdates(const Configuration& config, HttpClient& http, DownloadDisplay& display, Hooks hooks,
                    QObject* parent = nullptr);

    // The whole run on the calling thread (what run() does on the worker thread).
    void execute();

protected:
    void run() override;

private:
    void downloadPatchList();
    void applyPendingPatches();
    // False when the run must end here: the slot was not applied and is not recorded.
    bool applyPatch(const PendingPatch& patch, ProfileFile& appliedRecord);
    void startMonitors();

    const Configuration& m_config;
    HttpClient& m_http;
    DownloadDisplay& m_display;
    Hooks m_hooks;
};

} // namespace updater
