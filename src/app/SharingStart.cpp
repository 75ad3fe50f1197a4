#include "app/SharingStart.h"

#include "config/Settings.h"
#include "patch/Downloads.h"
#include "share/PatchSharing.h"

namespace updater {

std::shared_ptr<PatchSharing> startSharing(const RegistryStore& store, uint32_t downloadLimit,
                                           std::optional<uint32_t> uploadLimit)
{
    SharingOptions options;
    options.port = readSharingPort(store);
    options.uploadKilobytesPerSecond = uploadLimit ? uploadLimit : readUploadLimit(store);
    options.downloadKilobytesPerSecond = downloadLimit;
    // The folder is made with the downloads folder: a game folder without the launcher's folder
    // gets none.
    downloadsFolder(true);
    return std::make_shared<PatchSharing>(options, sharingFolder());
}

} // namespace updater
