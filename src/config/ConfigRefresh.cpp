#include "config/ConfigRefresh.h"

#include "config/Configuration.h"
#include "net/HttpClient.h"
#include "platform/AtomicFile.h"
#include "platform/GamePath.h"
#include "trust/SignedFetch.h"

#include <exception>

namespace updater {

RefreshOutcome refreshConfig(const Configuration& config, HttpClient& client)
{
    if (config.overWriteClientInfo == 0)
        return {};
    try {
        // The whole file is in memory before the old one is touched.
        const SignedDocument downloaded =
            fetchSigned(client, loadCommunityKey(), config.configLink, LargestConfiguration,
                        "configuration larger than 1 MiB");
        if (downloaded.problem)
            return {RefreshOutcome::Failed, *downloaded.problem};
        writeFileAtomically(resolveGamePath(configFilePath()), downloaded.body);
        return {RefreshOutcome::Refreshed, {}};
    } catch (const std::exception& error) {
        const HttpClient::Failure failure = client.lastFailure();
        return {RefreshOutcome::Failed, failure.failed() ? failure.cause : error.what()};
    }
}

} // namespace updater
