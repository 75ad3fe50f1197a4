#include "launch/GameStartSequence.h"

#include "launch/ClientInfoWriter.h"
#include "launch/MouseFreedomAddOn.h"
#include "launch/UpdaterReplacement.h"
#include "platform/AtomicFile.h"
#include "platform/DialogService.h"
#include "platform/GamePath.h"
#include "platform/ProgramStarter.h"
#include "platform/QuitRequest.h"

namespace updater {

GameStartSequence::GameStartSequence(const Configuration& config, const RunState& state,
                                     std::function<void()> saveSettings)
    : m_config(config), m_state(state), m_saveSettings(std::move(saveSettings))
{}

void GameStartSequence::start(int entryNumber) const
{
    // A quit asked for by an earlier step does not stop the later ones: it takes effect only
    // when the click handler has returned.
    ClientInfoWriter(m_config).write();
    checkUpdaterReplacement();
    if (m_saveSettings)
        m_saveSettings();
    applyMouseFreedom(m_state.freedomMouseStatus);

    const std::string& clientName = m_config.entry(entryNumber).clientName;
    if (fileExists(resolveGamePath(clientName))) {
        // A client that could not be started has been reported; the launcher then stays open.
        if (startProgram(clientName))
            requestQuit();
        return;
    }
    messageBox("-= Can't find GV Client =-\n\nThe name of client must be: " + clientName, "Alert",
               DialogIcon::Stop);
}

} // namespace updater
