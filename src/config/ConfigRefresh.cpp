#include "config/ConfigRefresh.h"

#include "config/Configuration.h"
#include "net/HttpClient.h"
#include "platform/AtomicFile.h"
#include "platform/GamePath.h"

#include <exception>

namespace updater {

RefreshOutcome refreshConfig(const Configuration& config, HttpClient& client)
{
    if (config.overWriteClientInfo == 0)
        return {};
    try {
        // The whole file is in memory before the old one is touched.
        const std::string downloaded = client.get(config.configLink);
        writeFileAtomically(resolveGamePath(configFilePath()), downloaded);
        return {RefreshOutcome::Refreshed, {}};
    } catch (const std::exception&) {
        return {RefreshOutcome::Failed, client.lastReplyText()};
    }
}

} // namespace updater
