#include "platform/OnlineState.h"

#include <QNetworkInformation>

namespace updater {

bool isConnectedToInternet()
{
    if (qEnvironmentVariableIsSet("UPDATER_PRETEND_OFFLINE"))
        return false;
    if (!QNetworkInformation::loadDefaultBackend())
        return true;
    const QNetworkInformation* info = QNetworkInformation::instance();
    return !info || info->reachability() != QNetworkInformation::Reachability::Disconnected;
}

} // namespace updater
