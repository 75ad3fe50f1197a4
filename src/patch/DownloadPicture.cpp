#include "patch/DownloadPicture.h"

#include <algorithm>
#include <cmath>

namespace updater {

int downloadPercentage(int32_t total, int32_t done)
{
    if (done == 0)
        return 0;
    if (total >= 100 && done > 0 && done <= total)
        return done / (total / 100);
    if (total <= 0 || done < 0)
        return 0;
    const int64_t share = int64_t(done) * 100 / total;
    return int(std::clamp<int64_t>(share, 0, 100));
}

long long wholeKilobytes(int32_t bytes)
{
    return std::llround(double(bytes) / 1024.0);
}

DownloadPicture downloadPicture(int64_t total64, int64_t done64)
{
    const auto narrow = [](int64_t count) {
        return static_cast<int32_t>(std::clamp<int64_t>(count, INT32_MIN, INT32_MAX));
    };
    const int32_t total = narrow(total64), done = narrow(done64);
    const int percentage = downloadPercentage(total, done);
    return {wholeKilobytes(done), wholeKilobytes(total), percentage, std::clamp(percentage, 0, 100)};
}

} // namespace updater
