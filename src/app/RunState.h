#pragma once

#include <atomic>
#include <cstdint>

namespace updater {

// Process-wide values handed between the parts of one run of the launcher.
struct RunState
{
    // Set only by a successful configuration refresh; read by the status timer.
    std::atomic<bool> configRefreshed{false};
    // Last map-port probe result per server (index 0 and 1); written and read on the window thread.
    bool serverOnline[2] = {false, false};
    // Set while "Check game files" runs: the game must not start on files being written.
    bool repairingGameFiles = false;
    // Set while the update run brings the game folder up to date.
    bool updating = false;
    // The mouse add-on choice, loaded from and saved to the settings store.
    bool freedomMouseStatus = false;
    // The player's download speed limit in kB/s, 0 for none; loaded from and saved to the settings
    // store. Written and read on the window thread.
    uint32_t speedLimit = 0;
    // The player shares patches with other players; loaded from and saved to the settings store.
    // On the window thread.
    bool sharePatches = false;
};

} // namespace updater
