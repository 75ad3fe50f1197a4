#include "fetch/ConfigRefresh.h"

#include "config/Configuration.h"
#include "fetch/SignedFetch.h"
#include "net/HttpClient.h"
#include "platform/AtomicFile.h"
#include "platform/GamePath.h"
#include "platform/ProfileFile.h"

#include <exception>

namespace updater {

RefreshOutcome refreshConfig(const Configuration& config, HttpClient& client)
{
    if (config.overWriteClientInfo == 0)
        return {};
    try {
        // The whole file is in memory before the old one is touched.
        const std::string path = resolveGamePath(configFilePath());
        const SignedDocument downloaded =
            fetchSigned(client, loadCommunityKey(), config.configLink, LargestConfiguration,
                        "configuration larger than 1 MiB",
                        {signatureInUse(path), "configuration older than the one in use"});
        if (downloaded.problem)
            return {RefreshOutcome::Failed, *downloaded.problem};
        // Written in place, it would not be read at the next start.
        if (ProfileFile::exceedsLineCaps(downloaded.body))
            return {RefreshOutcome::Failed, "configuration has too many lines"};
        writeFileAtomically(path, downloaded.body);
        // Kept beside it, so that an older configuration served later is refused.
        if (!downloaded.signature.empty())
            writeFileAtomically(signatureAddress(path), downloaded.signature);
        return {RefreshOutcome::Refreshed, {}};
    } catch (const std::exception& error) {
        const HttpClient::Failure failure = client.lastFailure();
        return {RefreshOutcome::Failed, failure.failed() ? failure.cause : error.what()};
    }
}

} // namespace updater
