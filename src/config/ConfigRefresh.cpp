#include "config/ConfigRefresh.h"

#include "config/Configuration.h"
#include "net/HttpClient.h"
#include "platform/AtomicFile.h"
#include "platform/GamePath.h"
#include "trust/CommunityKey.h"

#include <exception>

namespace updater {

RefreshOutcome refreshConfig(const Configuration& config, HttpClient& client)
{
    if (config.overWriteClientInfo == 0)
        return {};
    try {
        // The whole file is in memory before the old one is touched.
        const std::string downloaded = client.get(config.configLink);
        const CommunityKey key = loadCommunityKey();
        if (key.state != CommunityKey::Absent) {
            std::string signature;
            try {
                signature = client.get(signatureAddress(config.configLink));
            } catch (const std::exception&) {
                // No signature to be had reads as none.
            }
            if (const auto problem = signatureProblem(key, downloaded, signature))
                return {RefreshOutcome::Failed, *problem};
        }
        writeFileAtomically(resolveGamePath(configFilePath()), downloaded);
        return {RefreshOutcome::Refreshed, {}};
    } catch (const std::exception& error) {
        const HttpClient::Failure failure = client.lastFailure();
        return {RefreshOutcome::Failed, failure.failed() ? failure.cause : error.what()};
    }
}

} // namespace updater
