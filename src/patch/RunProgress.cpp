#include "patch/RunProgress.h"

#include <algorithm>
#include <numeric>

namespace updater {

RunProgress::RunProgress(const Clock& clock, QObject* parent) : QObject(parent), m_speed(clock) {}

void RunProgress::planRun(std::vector<std::optional<int64_t>> archiveSizes)
{
    std::unique_lock lock(m_mutex);
    m_sizes = std::move(archiveSizes);
    m_number = 0;
    m_name.clear();
    changed(lock);
}

void RunProgress::archiveStarted(int number, const std::string& name)
{
    std::unique_lock lock(m_mutex);
    m_number = number;
    m_name = name;
    m_announced = m_received = m_fromPlayers = 0;
    changed(lock);
}

void RunProgress::bytesFromPlayers(int64_t bytes)
{
    std::unique_lock lock(m_mutex);
    m_fromPlayers = bytes;
    changed(lock);
}

HttpClient::WorkEvents RunProgress::workEvents()
{
    return {[this](int64_t announced) {
                std::unique_lock lock(m_mutex);
                m_announced = announced;
                m_received = m_fromPlayers = 0;
                m_speed.transferBegan();
                // Without an integrity line the archive's size is what its server announces.
                if (m_number > 0 && m_number <= int(m_sizes.size()) && !m_sizes[m_number - 1] &&
                    announced > 0)
                    m_sizes[m_number - 1] = announced;
                changed(lock);
            },
            [this](int64_t total) {
                std::unique_lock lock(m_mutex);
                m_received = total;
                m_speed.counted(total);
                changed(lock);
            },
            [this] {
                std::unique_lock lock(m_mutex);
                changed(lock);
            }};
}

ProgressPicture RunProgress::picture() const
{
    ProgressPicture picture;
    picture.gauge = downloadPicture(m_announced, m_received);
    picture.archiveNumber = m_number;
    picture.archiveCount = int(m_sizes.size());
    picture.archiveName = m_name;
    picture.bytesPerSecond = m_speed.bytesPerSecond();
    picture.archiveFromPlayers = m_fromPlayers;
    const bool inPlan = m_number > 0 && m_number <= int(m_sizes.size());
    if (!inPlan) // the patch list, or a document outside the plan
        return picture;
    picture.archiveBytes = m_received;
    picture.archiveSize = m_sizes[m_number - 1].value_or(0);
    const bool allKnown = std::all_of(m_sizes.begin(), m_sizes.end(), [](const auto& size) { return size; });
    if (allKnown) {
        const auto sum = [](int64_t total, const std::optional<int64_t>& size) { return total + *size; };
        picture.runSize = std::accumulate(m_sizes.begin(), m_sizes.end(), int64_t(0), sum);
        picture.runBytes =
            std::accumulate(m_sizes.begin(), m_sizes.begin() + (m_number - 1), int64_t(0), sum) + m_received;
    }
    if (picture.bytesPerSecond > 0) {
        const auto secondsFor = [&](int64_t left) {
            return std::max<int64_t>(left, 0) / picture.bytesPerSecond;
        };
        if (picture.archiveSize > 0)
            picture.archiveSecondsLeft = secondsFor(picture.archiveSize - picture.archiveBytes);
        if (picture.runSize > 0)
            picture.runSecondsLeft = secondsFor(picture.runSize - picture.runBytes);
    }
    return picture;
}

void RunProgress::changed(std::unique_lock<std::mutex>& lock)
{
    const ProgressPicture now = picture();
    if (m_anyPicture && now == m_picture)
        return;
    m_anyPicture = true;
    m_picture = now;
    const bool signal = !m_pictureSignalled;
    m_pictureSignalled = true;
    lock.unlock();
    if (signal)
        emit pictureChanged();
}

void RunProgress::setCaption(const TransferCaption& caption)
{
    bool signal = false;
    {
        std::lock_guard lock(m_mutex);
        m_caption = caption;
        signal = !m_captionSignalled;
        m_captionSignalled = true;
    }
    if (signal)
        emit captionChanged();
}

ProgressPicture RunProgress::takePicture()
{
    std::lock_guard lock(m_mutex);
    m_pictureSignalled = false;
    return m_picture;
}

TransferCaption RunProgress::takeCaption()
{
    std::lock_guard lock(m_mutex);
    m_captionSignalled = false;
    return m_caption;
}

} // namespace updater
