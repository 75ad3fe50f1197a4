#include "app/GameStart.h"

#include "app/Dialogs.h"
#include "app/Messages.h"
#include "app/QuitRequest.h"
#include "launch/ClientInfoWriter.h"
#include "launch/MouseFreedomAddOn.h"
#include "launch/UpdaterReplacement.h"
#include "platform/AtomicFile.h"
#include "platform/EventLog.h"
#include "platform/GamePath.h"
#include "platform/ProgramStarter.h"

namespace updater {

bool startProgramOrTell(const std::string& commandLine)
{
    const ProgramStart outcome = startProgram(commandLine);
    logEvent("start " + commandLine + (outcome == ProgramStart::Started ? ": started" : ": not started"));
    if (outcome != ProgramStart::Started)
        messageBox(messages::cannotStart(commandLine, outcome), "Alert", DialogIcon::Stop);
    return outcome == ProgramStart::Started;
}

GameStart::GameStart(const Configuration& config, const RunState& state, std::function<void()> saveSettings)
    : m_config(config), m_state(state), m_saveSettings(std::move(saveSettings))
{}

void GameStart::start(int entryNumber) const
{
    if (!ClientInfoWriter(m_config).write()) {
        messageBox(messages::noDataFolder(), "Alert", DialogIcon::Stop);
        requestQuit();
    }

    const UpdaterReplacement replacement = findUpdaterReplacement();
    if (replacement != UpdaterReplacement::None)
        messageBox(messages::replacement(replacement), "Alert", DialogIcon::Stop);
    // A tool that cannot be started has been reported; the launcher then stays usable.
    if (replacement == UpdaterReplacement::Ready && startProgramOrTell(ReplacementTool))
        requestQuit();

    if (m_saveSettings)
        m_saveSettings();
    if (!applyMouseFreedom(m_state.freedomMouseStatus))
        messageBox(messages::addOnMissing(), "Alert", DialogIcon::Stop);

    const std::string& clientName = m_config.entry(entryNumber).clientName;
    if (!fileExists(resolveGamePath(clientName))) {
        messageBox(messages::clientMissing(clientName), "Alert", DialogIcon::Stop);
        return;
    }
    // A client that could not be started has been reported; the launcher then stays open.
    if (startProgramOrTell(clientName))
        requestQuit();
}

} // namespace updater
