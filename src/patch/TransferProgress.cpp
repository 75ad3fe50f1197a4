#include "patch/TransferProgress.h"

namespace updater {

TransferProgress::TransferProgress(QObject* parent) : QObject(parent) {}

HttpClient::WorkEvents TransferProgress::workEvents()
{
    return {[this](int32_t announced) {
                m_total = announced;
                transferChanged();
            },
            [this](int32_t count) {
                m_done = count;
                transferChanged();
            },
            [this] { transferChanged(); }};
}

void TransferProgress::transferChanged()
{
    const DownloadPicture picture = downloadPicture(m_total, m_done);
    if (m_anyPicture && picture == m_lastPicture)
        return;
    m_anyPicture = true;
    m_lastPicture = picture;
    bool signal = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pendingPicture = picture;
        signal = !m_pictureSignalled;
        m_pictureSignalled = true;
    }
    if (signal)
        emit pictureChanged();
}

void TransferProgress::setCaption(const TransferCaption& caption)
{
    bool signal = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pendingCaption = caption;
        signal = !m_captionSignalled;
        m_captionSignalled = true;
    }
    if (signal)
        emit captionChanged();
}

DownloadPicture TransferProgress::takePicture()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pictureSignalled = false;
    return m_pendingPicture;
}

TransferCaption TransferProgress::takeCaption()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_captionSignalled = false;
    return m_pendingCaption;
}

} // namespace updater
