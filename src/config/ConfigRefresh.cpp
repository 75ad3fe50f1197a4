#include "config/ConfigRefresh.h"

#include "config/Configuration.h"
#include "config/RunState.h"
#include "net/HttpClient.h"
#include "platform/AtomicFile.h"
#include "platform/DialogService.h"
#include "platform/GamePath.h"
#include "platform/QuitRequest.h"

#include <exception>
#include <string>

namespace updater {

namespace {

std::string refreshFailureText(const std::string& configLink, const std::string& replyText)
{
    return "-= CRITICAL ERROR 4 =-\n\nCan't download new " + configLink + "\n\nError message: " + replyText +
           "\nAsk GM for fix.\n\nDo u want to connect server with old config file? (maybe it will work)";
}

} // namespace

void refreshConfig(const Configuration& config, HttpClient& client, RunState& state)
{
    if (config.overWriteClientInfo == 0)
        return;
    try {
        // The whole file is in memory before the old one is touched.
        const std::string downloaded = client.get(config.configLink);
        writeFileAtomically(resolveGamePath(configFilePath()), downloaded);
        state.configRefreshed = true;
    } catch (const std::exception&) {
        // The box shows the client's last reply, never the text of the error itself.
        const DialogAnswer answer = messageBox(refreshFailureText(config.configLink, client.lastReplyText()),
                                               "Alert", DialogIcon::Stop, DialogButtons::YesNo);
        if (answer == DialogAnswer::No)
            requestQuit();
    }
}

} // namespace updater
