#include "app/ShellOpen.h"

#include "platform/EventLog.h"

#include <QDesktopServices>
#include <QUrl>

namespace updater {

void shellOpen(const std::string& address)
{
    if (!QDesktopServices::openUrl(QUrl(QString::fromLatin1(address))))
        logEvent("the desktop could not open " + address);
}

} // namespace updater
