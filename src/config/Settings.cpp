#include "config/Settings.h"

#include "platform/DialogService.h"
#include "platform/RegistryStore.h"

#include <variant>

namespace updater {

namespace {

void showFirstStartNotice()
{
    messageBox(
        "-= Updater Info=-\n\n\nThis is first start. Check settings. If you don' like background\nsound, "
        "turn "
        "it off. Also check FreeMouse option.\n\n* Smile, it makes people wonder what you are thinking...",
        "Read this carefully plz", DialogIcon::Information);
}

void showRepairNotice()
{
    messageBox(
        "-= Updater =-\n\nThere something wrong with registry settings...\nI will set them to default. Plz "
        "check them now!n\nDon't panic everything under control...",
        "Info", DialogIcon::Information);
}

} // namespace

bool readSettings(const RegistryStore& store)
{
    if (!store.openKey(SettingsKey)) {
        showFirstStartNotice();
        return false;
    }
    if (!store.value(SettingsKey, "Version")) {
        showRepairNotice();
        return false;
    }
    const auto status = store.value(SettingsKey, "FreedomMouseStatus");
    if (!status || !std::holds_alternative<uint32_t>(*status)) {
        showRepairNotice();
        return false;
    }
    return std::get<uint32_t>(*status) != 0;
}

void writeSettings(RegistryStore& store, bool freedomMouseStatus)
{
    if (!store.canCreateKey()) {
        showMessage("-= Critical failure =-\n\nWrite settings failed!");
        return;
    }
    store.setString(SettingsKey, "Version", "4.0");
    store.setInteger(SettingsKey, "FreedomMouseStatus", freedomMouseStatus ? 1 : 0);
}

} // namespace updater
