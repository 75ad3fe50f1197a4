#include "patch/DownloadDisplay.h"

#include "platform/WindowThread.h"

#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMetaObject>
#include <QObject>
#include <QProgressBar>

namespace updater {

DownloadDisplay::DownloadDisplay(DownloadControls controls)
    : m_controls(controls), m_windowContext(std::make_unique<QObject>()),
      m_separator(QLocale::system().groupSeparator())
{}

DownloadDisplay::~DownloadDisplay() = default;

HttpClient::WorkEvents DownloadDisplay::workEvents()
{
    return {[this](int32_t announced) { doDownloadStart(announced); },
            [this](int32_t count) { doDownloadProgress(count); }, [this] { doDownloadFinished(); }};
}

void DownloadDisplay::doDownloadStart(int32_t announced)
{
    m_transferTotal = announced;
    updateDownloadDisplay();
}

void DownloadDisplay::doDownloadProgress(int32_t count)
{
    m_transferDone = count;
    updateDownloadDisplay();
}

void DownloadDisplay::doDownloadFinished()
{
    updateDownloadDisplay();
}

void DownloadDisplay::updateDownloadDisplay()
{
    const DownloadPicture picture = downloadPicture(m_transferTotal, m_transferDone, m_separator);
    if (m_anyPicture && picture == m_lastPicture)
        return;
    m_anyPicture = true;
    m_lastPicture = picture;
    bool queue = false;
    {
        std::lock_guard<std::mutex> lock(m_pendingMutex);
        m_pending = picture;
        queue = !m_updateQueued && !isWindowThread();
        m_updateQueued = m_updateQueued || queue;
    }
    if (isWindowThread())
        showPendingPicture();
    else if (queue)
        QMetaObject::invokeMethod(
            m_windowContext.get(), [this] { showPendingPicture(); }, Qt::QueuedConnection);
}

void DownloadDisplay::showPendingPicture()
{
    DownloadPicture picture;
    {
        std::lock_guard<std::mutex> lock(m_pendingMutex);
        picture = m_pending;
        m_updateQueued = false;
    }
    m_controls.labelProgress->setText(picture.progress);
    m_controls.progressBar->setValue(picture.bar);
    m_controls.labelPercent->setText(picture.percent);
    m_controls.labelSize->setText(picture.size);
}

void DownloadDisplay::showDownloadDisplay(const std::string& fileName)
{
    runOnWindowThread([&] {
        m_controls.labelFilename->setText(QString::fromLatin1(fileName));
        m_controls.groupDownload->setVisible(true);
        m_controls.groupDownloadStatus->setVisible(true);
    });
}

void DownloadDisplay::showUnpacking()
{
    runOnWindowThread([&] {
        m_controls.groupDownloadStatus->setVisible(false);
        m_controls.labelFilename->setText("unrar... (please wait!)");
    });
}

void DownloadDisplay::postFilenameCaption(const std::string& caption)
{
    bool queue = false;
    {
        std::lock_guard<std::mutex> lock(m_pendingMutex);
        m_pendingCaption = QString::fromLatin1(caption);
        queue = !m_captionQueued && !isWindowThread();
        m_captionQueued = m_captionQueued || queue;
    }
    if (isWindowThread())
        showPendingCaption();
    else if (queue)
        QMetaObject::invokeMethod(
            m_windowContext.get(), [this] { showPendingCaption(); }, Qt::QueuedConnection);
}

void DownloadDisplay::showPendingCaption()
{
    QString caption;
    {
        std::lock_guard<std::mutex> lock(m_pendingMutex);
        caption = m_pendingCaption;
        m_captionQueued = false;
    }
    m_controls.labelFilename->setText(caption);
}

} // namespace updater
