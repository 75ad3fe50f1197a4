#include "platform/DiskSync.h"

#include "platform/PathText.h"
#include "platform/TestHooks.h"

#include <fcntl.h>
#include <mutex>
#include <set>
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

bool syncFileData(int fd, const std::string& path)
{
    const bool synced = ::fdatasync(fd) == 0;
    if (synced)
        noteDiskEvent(DiskEvent::FileSynced, path);
    return synced;
}

bool syncFolder(const std::string& path)
{
    const std::string folder = path.empty() ? "." : path;
    const bool synced = syncThrough(folder, ::fsync);
    if (synced)
        noteDiskEvent(DiskEvent::FileSynced, folder);
    return synced;
}

bool syncWrittenFiles(const std::vector<std::string>& paths, size_t manyFiles)
{
    if (paths.empty())
        return true;
    if (paths.size() > manyFiles)
        return syncFileSystemOf(".");
    bool synced = true;
    std::set<std::string> folders;
    for (const std::string& path : paths) {
        const bool done = syncThrough(path, ::fdatasync);
        synced = synced && done;
        if (done)
            noteDiskEvent(DiskEvent::FileSynced, path);
        for (std::string folder = folderOf(path);; folder = folderOf(folder)) {
            folders.insert(folder);
            if (folder == "." || folder == "/")
                break;
        }
    }
    // The deepest first, so that a folder is on the disk before the entry that names it.
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
        synced = syncFolder(*folder) && synced;
    return synced;
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
