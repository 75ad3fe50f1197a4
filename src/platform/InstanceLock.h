#pragma once

#include <string>
#include <vector>

namespace updater {

// What taking a lock came to.
enum class LockOutcome {
    Acquired,
    HeldElsewhere, // another process holds it
    Unusable,      // the lock file cannot be opened, or something else stands at its name: reason()
    NoLocking,     // the file system takes no locks (a network share): the run goes on unguarded
};

// The single-instance guard: an advisory lock on a file. The kernel releases it when the process
// ends, so a killed launcher never blocks the next start.
class InstanceLock
{
public:
    // Where a user's launchers meet, in the order tried: ${XDG_RUNTIME_DIR}/Updater.lock, the
    // user's own cache folder (${XDG_CACHE_HOME:-$HOME/.cache}/tarvo-updater/Updater.lock), and a
    // private folder of the user's in the system's temporary folder.
    static std::vector<std::string> userLockPaths();

    explicit InstanceLock(std::string path) : InstanceLock(std::vector<std::string>{std::move(path)}) {}
    // Tries the places in turn: the first where a lock can be had at all (Acquired or
    // HeldElsewhere) decides; a place whose folder cannot be made or whose lock file cannot be
    // opened hands over to the next.
    explicit InstanceLock(std::vector<std::string> places);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // A link, or an empty folder, at the lock's name is replaced by a lock file (mended() says
    // so); a lock is never taken through a link.
    LockOutcome acquire();

    const std::string& path() const { return m_path; }
    // Why the lock is Unusable or NoLocking.
    const std::string& reason() const { return m_reason; }
    // Unusable because something other than a lock file (a folder with files, a device) stands at
    // its name, rather than a lock file that cannot be opened.
    bool standsInTheWay() const { return m_standsInTheWay; }
    // What acquire() mended, for the log; empty when nothing.
    const std::string& mended() const { return m_mended; }

private:
    LockOutcome acquireAt(const std::string& path);

    std::vector<std::string> m_places;
    std::string m_path;
    std::string m_reason;
    bool m_standsInTheWay = false;
    std::string m_mended;
    int m_fd = -1;
};

} // namespace updater
