#include "platform/OnlineState.h"

#include "platform/UnattendedSwitches.h"

#include <QNetworkInformation>

namespace updater {

bool isConnectedToInternet()
{
    if (qEnvironmentVariableIsSet(switches::PretendOffline))
        return false;
    if (!QNetworkInformation::loadDefaultBackend())
        return true;
    const QNetworkInformation* info = QNetworkInformation::instance();
    return !info || info->reachability() != QNetworkInformation::Reachability::Disconnected;
}

} // namespace updater
