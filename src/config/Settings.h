#pragma once

#include <string>

namespace updater {

class RegistryStore;

// The settings key below HKEY_LOCAL_MACHINE.
inline constexpr const char* SettingsKey = "\\software\\Tarvo Gv Tools\\Tarvo Updater";

// Loads the mouse add-on choice; shows the first-start or the repair notice when the key is
// missing or damaged, and then answers off.
bool readSettings(const RegistryStore& store);

// Saves "Version" = "4.0" and the add-on choice. When the key cannot be opened or created, shows
// the "-= Critical failure =-" dialog and returns; an error while setting a value reaches the caller.
void writeSettings(RegistryStore& store, bool freedomMouseStatus);

} // namespace updater
