#pragma once

#include "net/HttpClient.h"
#include "patch/DownloadPicture.h"
#include "patch/TransferCaption.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <mutex>
#include <string>

namespace updater {

// The numbers of the download display and the extraction caption, handed from the thread that
// downloads and unpacks to the window. Changes come far faster than a window can draw them, so
// they are coalesced: at most one change signal waits for the receiver, which then takes the
// latest state. The last picture of a transfer is therefore always exact, and a long download is
// never held up by the window.
class TransferProgress : public QObject
{
    Q_OBJECT
public:
    explicit TransferProgress(QObject* parent = nullptr);

    // Begin, work and end events of the HTTP client, on whichever thread runs the transfer.
    HttpClient::WorkEvents workEvents();
    // A new caption above the bar (the patch, a retry's countdown, the entries unpacked).
    void setCaption(const TransferCaption& caption);

    // The receiver's side: the latest state, re-arming the change signal.
    DownloadPicture takePicture();
    TransferCaption takeCaption();

signals:
    void pictureChanged();
    void captionChanged();

private:
    void transferChanged();

    // Written only by the thread that runs the transfer.
    int32_t m_total = 0;
    int32_t m_done = 0;
    bool m_anyPicture = false;
    DownloadPicture m_lastPicture;

    std::mutex m_mutex; // guards what follows, shared with the receiver
    DownloadPicture m_pendingPicture;
    bool m_pictureSignalled = false;
    TransferCaption m_pendingCaption;
    bool m_captionSignalled = false;
};

} // namespace updater
