#pragma once

#include <cstdint>
#include <optional>
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

// The player's choice to share patches with other players, kept as the DWORD "SharePatches" (1:
// shares); anything else, or none, reads as off.
bool readSharePatches(const RegistryStore& store);
bool writeSharePatches(RegistryStore& store, bool share);

// The upload limit for sharing in kB/s (0: none), kept as the DWORD "UploadSpeedLimit"; nothing
// when the player set none, and the default holds.
std::optional<uint32_t> readUploadLimit(const RegistryStore& store);
// The port sharing listens on, kept as the DWORD "SharingPort"; 0 (and anything not a port): a
// free one.
uint16_t readSharingPort(const RegistryStore& store);

} // namespace updater
