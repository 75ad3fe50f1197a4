#pragma once

#include "net/HttpClient.h"
#include "patch/DownloadPicture.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class QGroupBox;
class QLabel;
class QObject;
class QProgressBar;

namespace updater {

// The controls of the main window that show a download and the extraction captions.
struct DownloadControls
{
    QGroupBox* groupDownload = nullptr;       // downloadBox
    QGroupBox* groupDownloadStatus = nullptr; // downloadStatusBox
    QLabel* labelFilename = nullptr;          // fileNameLabel
    QLabel* labelSize = nullptr;              // sizeLabel
    QLabel* labelProgress = nullptr;          // transferLabel
    QLabel* labelPercent = nullptr;           // percentLabel
    QProgressBar* progressBar = nullptr;      // downloadBar
};

// The download display, driven by the work events of the HTTP client on whichever thread runs
// the transfer. Control changes always happen on the window thread. Events from another thread
// are coalesced: at most one update waits in the window thread's queue and it always carries the
// latest numbers, so a long download is never held up by the window and the last picture is exact.
//
// Create it on the window thread; it must outlive every transfer it watches.
class DownloadDisplay
{
public:
    explicit DownloadDisplay(DownloadControls controls);
    ~DownloadDisplay();
    DownloadDisplay(const DownloadDisplay&) = delete;
    DownloadDisplay& operator=(const DownloadDisplay&) = delete;

    // DoDownloadStart, DoDownloadProgress and DoDownloadFinished bound to this display.
    HttpClient::WorkEvents workEvents();

    void doDownloadStart(int32_t announced);
    void doDownloadProgress(int32_t count);
    void doDownloadFinished();

    // Called by the update worker; each is carried out on the window thread and waited for.
    // Shows both download groups, naming the file about to be fetched.
    void showDownloadDisplay(const std::string& fileName);
    // The download is complete: hides the bar group and announces the extraction.
    void showUnpacking();
    // An extraction caption from the worker: handed to the window thread without waiting; when
    // captions come faster than the window takes them, only the latest is shown.
    void postFilenameCaption(const std::string& caption);

    // The thousands separator is the user's; tests choose one.
    void setThousandsSeparator(const QString& separator) { m_separator = separator; }

private:
    void updateDownloadDisplay();
    void showPendingPicture();
    void showPendingCaption();

    DownloadControls m_controls;
    std::unique_ptr<QObject> m_windowContext; // lives on the window thread, receives the updates
    QString m_separator;

    // Written only by the thread that runs the transfer.
    int32_t m_transferTotal = 0;
    int32_t m_transferDone = 0;
    DownloadPicture m_lastPicture;
    bool m_anyPicture = false;

    std::mutex m_pendingMutex;
    DownloadPicture m_pending;
    bool m_updateQueued = false;
    QString m_pendingCaption;
    bool m_captionQueued = false;
};

} // namespace updater
