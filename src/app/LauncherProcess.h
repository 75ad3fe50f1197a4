#pragma once

#include "platform/InstanceLock.h"
#include "platform/TerminationRequest.h"

#include <optional>

namespace updater {

// What every run of the launcher, with or without a window, sets up around its work: the
// process's locale, the single-instance lock and the hook that turns the system's requests to
// end into a stop. Each mode decides what a refused lock and a stop mean for it.
class LauncherProcess
{
public:
    // Before the application object exists: texts and numbers follow the player's locale.
    static void readLocale();

    // After the application object exists, on its thread, before any worker starts.
    LauncherProcess();

    bool acquireLock() { return m_lock.acquire(); }
    // The game folder's own lock (Tarvo-Updater/updater.lock), held for the whole run: a desktop
    // start and a timed job on one folder would otherwise fight over its files. False when another
    // launcher holds it; without a Tarvo-Updater folder there is nothing to guard.
    bool acquireGameFolderLock();
    // Logging out, a service manager or a terminal's Ctrl+C.
    TerminationRequest& termination() { return m_termination; }

private:
    TerminationRequest m_termination;
    InstanceLock m_lock;
    std::optional<InstanceLock> m_gameFolderLock;
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
