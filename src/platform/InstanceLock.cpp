#include "platform/InstanceLock.h"

#include "platform/DescriptorWrite.h"
#include "platform/FileFaults.h"
#include "platform/FileOps.h"
#include "platform/UserFolders.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace updater {

std::vector<std::string> InstanceLock::userLockPaths()
{
    std::vector<std::string> places;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        places.push_back(std::string(runtime) + "/Updater.lock");
    // Not a shared folder such as /tmp itself, where another user could hold or plant the lock.
    places.push_back(userCacheFolder("tarvo-updater") + "/Updater.lock");
    if (const auto own = privateTemporaryFolder("tarvo-updater"))
        places.push_back(*own + "/Updater.lock");
    return places;
}

InstanceLock::InstanceLock(std::vector<std::string> places) : m_places(std::move(places)) {}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

LockOutcome InstanceLock::acquire()
{
    LockOutcome outcome = LockOutcome::Unusable;
    for (const std::string& place : m_places) {
        m_path = place;
        m_reason.clear();
        m_standsInTheWay = false;
        outcome = acquireAt(place);
        if (outcome == LockOutcome::Acquired || outcome == LockOutcome::HeldElsewhere)
            return outcome;
    }
    return outcome;
}

LockOutcome InstanceLock::acquireAt(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !makeMissingFolders(path.substr(0, slash))) {
        m_reason = "its folder cannot be made";
        return LockOutcome::Unusable;
    }
    // Whatever else stands at the lock's name is no lock: a link (even to a lock file elsewhere)
    // or an empty folder goes, as the launcher's other own files are mended.
    const EntryKind found = entryKind(path);
    if ((found == EntryKind::Link && removeFile(path)) ||
        (found == EntryKind::Folder && removeEmptyFolder(path)))
        m_mended = "replaced " + std::string(found == EntryKind::Link ? "a link" : "an empty folder") +
                   " that stood in place of the lock file " + path;
    if (fileFaultApplies(FileFault::WritesDenied, path)) {
        m_reason = systemReason(EACCES);
        return LockOutcome::Unusable;
    }
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (m_fd < 0) {
        const int error = errno;
        const EntryKind standing = entryKind(path);
        m_standsInTheWay = standing != EntryKind::RegularFile && standing != EntryKind::Nothing;
        m_reason = m_standsInTheWay ? "something that is not a lock file stands there" : systemReason(error);
        return LockOutcome::Unusable;
    }
    struct stat status
    {
    };
    if (::fstat(m_fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        m_standsInTheWay = true;
        m_reason = "something that is not a lock file stands there";
        return LockOutcome::Unusable;
    }
    const int locked = fileFaultApplies(FileFault::LocksUnsupported, path) ? (errno = ENOLCK, -1)
                                                                           : ::flock(m_fd, LOCK_EX | LOCK_NB);
    if (locked == 0)
        return LockOutcome::Acquired;
    const int error = errno;
    ::close(m_fd);
    m_fd = -1;
    if (error == EWOULDBLOCK)
        return LockOutcome::HeldElsewhere;
    // ENOLCK, EOPNOTSUPP, EIO: a network share without locks. Only another launcher is "in use".
    m_reason = systemReason(error);
    return LockOutcome::NoLocking;
}

} // namespace updater
