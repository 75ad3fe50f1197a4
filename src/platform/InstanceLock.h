#pragma once

#include <string>

namespace updater {

// The single-instance guard: an advisory lock on a file in the runtime folder. The kernel
// releases it when the process ends, so a killed launcher never blocks the next start.
class InstanceLock
{
public:
    // ${XDG_RUNTIME_DIR}/Updater.lock; without a runtime folder, in the user's own cache folder
    // (${XDG_CACHE_HOME:-$HOME/.cache}/tarvo-updater/Updater.lock), made when missing.
    static std::string defaultPath();

    explicit InstanceLock(std::string path = defaultPath());
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // False when another process holds the lock.
    bool acquire();

private:
    std::string m_path;
    int m_fd = -1;
};

} // namespace updater
