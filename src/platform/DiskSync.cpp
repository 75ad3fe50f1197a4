#include "platform/DiskSync.h"

#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace updater {

namespace {

std::mutex g_observerMutex;
DiskEventObserver g_observer;

// Syncs through a descriptor of the folder or file at `path`.
bool syncThrough(const std::string& path, int (*sync)(int))
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = sync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

bool syncFileSystemOf(const std::string& path)
{
    const bool synced = syncThrough(path, ::syncfs);
    if (synced)
        noteDiskEvent(DiskEvent::FileSystemSynced, path);
    return synced;
}

bool syncFolder(const std::string& path)
{
    return syncThrough(path.empty() ? "." : path, ::fsync);
}

void setDiskEventObserverForTest(DiskEventObserver observer)
{
    const std::lock_guard lock(g_observerMutex);
    g_observer = std::move(observer);
}

void noteDiskEvent(DiskEvent event, const std::string& path)
{
    const std::lock_guard lock(g_observerMutex);
    if (g_observer)
        g_observer(event, path);
}

} // namespace updater
