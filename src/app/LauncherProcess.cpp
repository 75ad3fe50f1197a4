#include "app/LauncherProcess.h"

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

bool LauncherProcess::acquireGameFolderLock()
{
    const std::string folder = resolveGamePath("Tarvo-Updater");
    if (entryKind(folder) != EntryKind::Folder)
        return true;
    m_gameFolderLock.emplace(resolveGamePath(updaterFolderPath("updater.lock")));
    return m_gameFolderLock->acquire();
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
