#include "share/SharingOptions.h"

#include <algorithm>

namespace updater {

int64_t uploadLimit(const SharingOptions& options, int64_t fastestDownloadBytesPerSecond)
{
    if (options.uploadKilobytesPerSecond)
        return int64_t(*options.uploadKilobytesPerSecond) * 1024;
    const int64_t downloads = options.downloadKilobytesPerSecond
                                  ? int64_t(options.downloadKilobytesPerSecond) * 1024
                                  : fastestDownloadBytesPerSecond;
    return std::max(downloads / 4, SmallestDefaultUpload);
}

} // namespace updater
