#include "app/LauncherProcess.h"

#include "app/Messages.h"
#include "platform/EventLog.h"
#include "platform/FileOps.h"
#include "platform/GamePath.h"
#include "platform/SystemInfo.h"
#include "platform/Utf8Locale.h"

#include <QtGlobal>

#include <clocale>
#include <string>

namespace updater {

void LauncherProcess::readLocale()
{
    std::setlocale(LC_ALL, "");
}

LauncherProcess::LauncherProcess()
{
    useUtf8CharacterType();
}

LauncherProcess::~LauncherProcess() = default;

std::optional<std::string> LauncherProcess::start(const char* mode)
{
    if (const LockRefusal refusal = takeLocks(); refusal != LockRefusal::None)
        return refusalText(refusal);
    m_log = std::make_unique<RunLog>(mode);
    logLockNotes();
    return std::nullopt;
}

void LauncherProcess::finishLog()
{
    if (m_log)
        m_log->finish();
}

LauncherProcess::LockRefusal LauncherProcess::takeLocks()
{
    const auto note = [this](const InstanceLock& lock, LockOutcome outcome, const std::string& unguarded) {
        if (!lock.mended().empty())
            m_lockNotes.push_back(lock.mended());
        if (outcome == LockOutcome::NoLocking || outcome == LockOutcome::Unusable)
            m_lockNotes.push_back(unguarded + " (" + lock.path() + ": " + lock.reason() + ")");
    };
    const LockOutcome user = m_lock.acquire();
    if (user == LockOutcome::HeldElsewhere) {
        // Whether that launcher is on this very folder: a lock taken only to look is let go at once.
        if (const std::optional<std::string> path = gameFolderLockPath())
            m_openOnThisFolder = InstanceLock(*path).acquire() == LockOutcome::HeldElsewhere;
        return LockRefusal::AlreadyRunning;
    }
    note(m_lock, user, "no place takes the user's lock: two launchers of this user are not kept apart");

    const std::optional<std::string> path = gameFolderLockPath();
    if (!path)
        return LockRefusal::None;
    m_gameFolderLock.emplace(*path);
    const LockOutcome game = m_gameFolderLock->acquire();
    if (game == LockOutcome::HeldElsewhere)
        return LockRefusal::GameFolderInUse;
    if (game == LockOutcome::Unusable)
        return LockRefusal::GameFolderLockUnusable;
    note(*m_gameFolderLock, game,
         "the game folder's file system takes no locks: launchers on it are not kept apart");
    return LockRefusal::None;
}

std::optional<std::string> LauncherProcess::gameFolderLockPath()
{
    if (entryKind(resolveGamePath("Tarvo-Updater")) != EntryKind::Folder)
        return std::nullopt;
    // Named whole, so that the player can remove one left by another user from anywhere.
    return gameFolderPath() + "/" + resolveGamePath(updaterFolderPath("updater.lock"));
}

std::string LauncherProcess::refusalText(LockRefusal refusal) const
{
    switch (refusal) {
    case LockRefusal::AlreadyRunning:
        return messages::alreadyRunning();
    case LockRefusal::GameFolderInUse:
        return messages::gameFolderInUse();
    case LockRefusal::GameFolderLockUnusable:
    case LockRefusal::None:
        break;
    }
    return messages::gameFolderLockUnusable(m_gameFolderLock->path(), m_gameFolderLock->reason(),
                                            m_gameFolderLock->standsInTheWay());
}

void LauncherProcess::logLockNotes() const
{
    for (const std::string& line : m_lockNotes)
        logEvent(line);
}

RunLog::RunLog(const char* mode)
{
    openEventLog(resolveGamePath(updaterFolderPath("updater.log")));
    std::string start = "start tarvo-updater " UPDATER_VERSION;
    if (*mode)
        start += std::string(" (") + mode + ")";
    logEvent(start);
    // What a community asks first when a player reports a problem.
    logEvent("system: " + systemDescription() + "; Qt " + qVersion());
    logEvent("game folder: " + gameFolderPath());
}

void RunLog::finish()
{
    if (!m_open)
        return;
    m_open = false;
    logEvent("end");
    closeEventLog();
}

} // namespace updater
