#pragma once

#include "app/RunState.h"
#include "config/Configuration.h"

#include <functional>
#include <string>

namespace updater {

// What happens behind the "Go <server>" buttons: one piece of code for both server entries.
class GameStart
{
public:
    // `saveSettings` stores the user settings (it may show its own box or throw).
    GameStart(const Configuration& config, const RunState& state, std::function<void()> saveSettings);

    // Writes the connection file(s), hands over to a newer launcher, saves the settings, applies
    // the mouse add-on, then starts the entry's game client and asks the application to end, or
    // tells the player the client is missing. Runs on the window thread. An UpdaterError from
    // writing the connection file leaves at once (the standard error box shows it). A quit asked
    // for by an earlier step does not stop the later ones: it takes effect once the click handler
    // has returned.
    void start(int entryNumber) const;

private:
    const Configuration& m_config;
    const RunState& m_state;
    std::function<void()> m_saveSettings;
};

// Starts a program of the game folder; tells the player why when it cannot be started.
bool startProgramOrTell(const std::string& commandLine);

} // namespace updater
