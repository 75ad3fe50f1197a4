#include "launch/UpdaterReplacement.h"

#include "platform/AtomicFile.h"
#include "platform/GamePath.h"

namespace updater {

UpdaterReplacement findUpdaterReplacement()
{
    if (!fileExists(resolveGamePath("updater4.new")))
        return UpdaterReplacement::None;
    if (!fileExists(resolveGamePath(ReplacementTool)))
        return UpdaterReplacement::ToolMissing;
    return UpdaterReplacement::Ready;
}

} // namespace updater
