#pragma once

#include "platform/DiskSync.h"
#include "platform/TestHooks.h"

#include <QStringList>

#include <functional>
#include <mutex>

namespace updater::test {

// While it lives, what reaches the disk and what is put in place, one line each in order:
// "placed <path>", "durable <path>" (put in place and on the disk), "synced <path>" (a file's data
// or a folder's names on the disk) or "file system synced <path>". `shown` turns a path into what
// the line names, and may add what stands there at that moment.
class DiskEventLog
{
public:
    using Shown = std::function<QString(const QString& path)>;

    explicit DiskEventLog(Shown shown = [](const QString& path) { return path; })
    {
        setDiskEventObserverForTest([this, shown](DiskEvent event, const std::string& path) {
            const char* what = event == DiskEvent::FilePlaced          ? "placed "
                               : event == DiskEvent::FilePlacedDurably ? "durable "
                               : event == DiskEvent::FileSynced        ? "synced "
                                                                       : "file system synced ";
            const QString line = what + shown(QString::fromStdString(path));
            const std::lock_guard lock(m_mutex);
            m_lines << line;
        });
    }
    ~DiskEventLog() { setDiskEventObserverForTest({}); }
    DiskEventLog(const DiskEventLog&) = delete;
    DiskEventLog& operator=(const DiskEventLog&) = delete;

    QStringList lines() const
    {
        const std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;
};

} // namespace updater::test
