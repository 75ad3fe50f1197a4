#include "launch/UpdaterReplacement.h"

#include "platform/AtomicFile.h"
#include "platform/DialogService.h"
#include "platform/GamePath.h"
#include "platform/ProgramStarter.h"
#include "platform/QuitRequest.h"

namespace updater {

namespace {

constexpr const char* NewLauncherFile = "updater4.new";
constexpr const char* ReplacementTool = "duzuvadir.lol";

constexpr const char* ToolMissingText =
    "-= Error while updating =-\n\nThere is new version of updater, but I can't use it. There missing tool!\n"
    "Check u did't delete files exidently else ask GM!\nFile with suffix .lol is missing";
constexpr const char* HandOverText = "-= New Updater Version found =-\n\nWe start new verion now...";

} // namespace

void checkUpdaterReplacement()
{
    if (!fileExists(resolveGamePath(NewLauncherFile)))
        return;
    if (!fileExists(resolveGamePath(ReplacementTool))) {
        messageBox(ToolMissingText, "Alert", DialogIcon::Stop);
        return;
    }
    messageBox(HandOverText, "Alert", DialogIcon::Stop);
    // A tool that cannot be started has been reported; the launcher then stays usable.
    if (startProgram(ReplacementTool))
        requestQuit();
}

} // namespace updater
