#pragma once

#include "platform/InstanceLock.h"
#include "platform/TerminationRequest.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace updater {

class RunLog;

// The start-up every run of the launcher takes, with or without a window, before its own part:
// the process's locale, the hook that turns the system's requests to end into a stop, the locks
// and the log. Each mode decides what a refused lock and a stop mean for it.
class LauncherProcess
{
public:
    // Before the application object exists: texts and numbers follow the player's locale.
    static void readLocale();

    // After the application object exists, on its thread, before any worker starts.
    LauncherProcess();
    ~LauncherProcess();

    // Takes the locks, then opens the log (naming `mode` when not empty) with what taking them
    // mended. What the player is told when another launcher or a lock file stands in the way.
    std::optional<std::string> start(const char* mode = "");
    // Ends the log now rather than with this object.
    void finishLog();
    // After a refused start(): another launcher of this user is open on this very game folder.
    bool openOnThisFolder() const { return m_openOnThisFolder; }

    // Logging out, a service manager or a terminal's Ctrl+C.
    TerminationRequest& termination() { return m_termination; }

private:
    // Takes the user's lock, then the game folder's own (Tarvo-Updater/updater.lock), both held for
    // the whole run: a desktop start and a timed job on one folder would otherwise fight over its
    // files. Only another launcher holding one keeps this one out, and a game folder lock file
    // that cannot be opened (left by a run as another user); without a Tarvo-Updater folder there
    // is nothing to guard, and a file system without locks goes on unguarded.
    enum class LockRefusal { None, AlreadyRunning, GameFolderInUse, GameFolderLockUnusable };
    LockRefusal takeLocks();
    // What the player is told of a refusal (not None).
    std::string refusalText(LockRefusal refusal) const;
    // What taking the locks mended or could not guard, for the log once it is open.
    void logLockNotes() const;
    // The game folder's own lock, when the folder has a Tarvo-Updater folder to guard.
    static std::optional<std::string> gameFolderLockPath();

    TerminationRequest m_termination;
    InstanceLock m_lock{InstanceLock::userLockPaths()};
    std::optional<InstanceLock> m_gameFolderLock;
    std::vector<std::string> m_lockNotes;
    std::unique_ptr<RunLog> m_log;
    bool m_openOnThisFolder = false;
};

// The run's lines in the log a player hands to the community: opened with a "start" line naming
// the version (and `mode` when not empty), ended with an "end" line when the run ends.
class RunLog
{
public:
    explicit RunLog(const char* mode = "");
    ~RunLog() { finish(); }
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Writes the "end" line and closes the log; later calls do nothing.
    void finish();

private:
    bool m_open = true;
};

} // namespace updater
