#pragma once

#include "config/Configuration.h"
#include "config/RunState.h"

#include <functional>

namespace updater {

// What happens behind the "Go <server>" buttons: one piece of code for both server entries.
class GameStartSequence
{
public:
    // `saveSettings` stores the user settings (it may show its own box or throw).
    GameStartSequence(const Configuration& config, const RunState& state, std::function<void()> saveSettings);

    // Writes the client information file(s), hands over to a newer launcher, saves the settings,
    // applies the mouse add-on, then starts the entry's game client and asks the application to
    // end, or tells the player the client is missing. Runs on the window thread. An UpdaterError
    // from writing the client information leaves at once (the standard error box shows it).
    void start(int entryNumber) const;

private:
    const Configuration& m_config;
    const RunState& m_state;
    std::function<void()> m_saveSettings;
};

} // namespace updater
