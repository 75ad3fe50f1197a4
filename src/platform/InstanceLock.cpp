#include "platform/InstanceLock.h"

#include "platform/FileOps.h"
#include "platform/UserFolders.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace updater {

std::string InstanceLock::defaultPath()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return std::string(runtime) + "/Updater.lock";
    // Not a shared folder such as /tmp, where another user could hold or plant the lock.
    return userCacheFolder("tarvo-updater") + "/Updater.lock";
}

InstanceLock::InstanceLock(std::string path) : m_path(std::move(path)) {}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool InstanceLock::acquire()
{
    const size_t slash = m_path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        makeMissingFolders(m_path.substr(0, slash));
    // A link at the lock's name is not followed: the lock is this file, or none.
    m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0)
        return true; // a lock that cannot be made must not keep the player out
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    return true;
}

} // namespace updater
