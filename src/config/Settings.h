#pragma once

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

} // namespace updater
