#pragma once

#include <cstdint>
#include <string>

namespace updater {

class RegistryStore;

// The settings key below HKEY_LOCAL_MACHINE.
inline constexpr const char* SettingsKey = "\\software\\Tarvo Gv Tools\\Tarvo Updater";

struct StoredSettings
{
    // FirstStart: no key yet; Damaged: a value is missing or of the wrong kind. Both read as off.
    enum State { Loaded, FirstStart, Damaged } state = Loaded;
    bool freedomMouse = false; // the mouse add-on choice
};

StoredSettings readSettings(const RegistryStore& store);

// Saves "Version" = "4.0" and the add-on choice. False when the key cannot be opened or created;
// an error while setting a value reaches the caller.
bool writeSettings(RegistryStore& store, bool freedomMouse);

// The player's download speed limit in kB/s (0: none), kept as the DWORD "DownloadSpeedLimit"
// beside the other settings. A missing value, or one of another kind, reads as no limit; it never
// makes the settings read as damaged.
uint32_t readSpeedLimit(const RegistryStore& store);
// Saves it. False when the key cannot be opened or created; an error while setting it reaches the
// caller.
bool writeSpeedLimit(RegistryStore& store, uint32_t kilobytesPerSecond);

} // namespace updater
