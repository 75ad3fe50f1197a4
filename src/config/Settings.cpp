#include "config/Settings.h"

#include "platform/RegistryStore.h"

#include <variant>

namespace updater {

StoredSettings readSettings(const RegistryStore& store)
{
    if (!store.openKey(SettingsKey))
        return {StoredSettings::FirstStart, false};
    if (!store.value(SettingsKey, "Version"))
        return {StoredSettings::Damaged, false};
    const auto status = store.value(SettingsKey, "FreedomMouseStatus");
    if (!status || !std::holds_alternative<uint32_t>(*status))
        return {StoredSettings::Damaged, false};
    return {StoredSettings::Loaded, std::get<uint32_t>(*status) != 0};
}

bool writeSettings(RegistryStore& store, bool freedomMouse)
{
    if (!store.canCreateKey())
        return false;
    store.setString(SettingsKey, "Version", "4.0");
    store.setInteger(SettingsKey, "FreedomMouseStatus", freedomMouse ? 1 : 0);
    return true;
}

namespace {
constexpr const char* SpeedLimitValue = "DownloadSpeedLimit";
constexpr const char* SharePatchesValue = "SharePatches";
constexpr const char* UploadLimitValue = "UploadSpeedLimit";
constexpr const char* SharingPortValue = "SharingPort";

std::optional<uint32_t> storedInteger(const RegistryStore& store, const char* name)
{
    const auto value = store.value(SettingsKey, name);
    if (value && std::holds_alternative<uint32_t>(*value))
        return std::get<uint32_t>(*value);
    return std::nullopt;
}

bool writeInteger(RegistryStore& store, const char* name, uint32_t value)
{
    if (!store.canCreateKey())
        return false;
    store.setInteger(SettingsKey, name, value);
    return true;
}
} // namespace

uint32_t readSpeedLimit(const RegistryStore& store)
{
    return storedInteger(store, SpeedLimitValue).value_or(0);
}

bool writeSpeedLimit(RegistryStore& store, uint32_t kilobytesPerSecond)
{
    return writeInteger(store, SpeedLimitValue, kilobytesPerSecond);
}

bool readSharePatches(const RegistryStore& store)
{
    return storedInteger(store, SharePatchesValue) == 1u;
}

bool writeSharePatches(RegistryStore& store, bool share)
{
    return writeInteger(store, SharePatchesValue, share ? 1 : 0);
}

std::optional<uint32_t> readUploadLimit(const RegistryStore& store)
{
    return storedInteger(store, UploadLimitValue);
}

uint16_t readSharingPort(const RegistryStore& store)
{
    const uint32_t port = storedInteger(store, SharingPortValue).value_or(0);
    return port <= 65535 ? uint16_t(port) : 0;
}

} // namespace updater
