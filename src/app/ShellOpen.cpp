#include "app/ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

namespace updater {

void shellOpen(const std::string& address)
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(address)));
}

} // namespace updater
