#pragma once

#include <cstdint>

namespace updater {

// What the download display shows for one pair of transfer numbers, as numbers; the window and
// the headless output word them.
struct DownloadPicture
{
    long long receivedKilobytes = 0;  // transferLabel
    long long announcedKilobytes = 0; // sizeLabel
    int percent = 0;                  // percentLabel
    int bar = 0;                      // downloadBar position, always within 0..100

    bool operator==(const DownloadPicture&) const = default;
};

// The percentage is the count divided by the truncated hundredth of the total, so totals below
// 10000 bytes may end a little above 100 %. Where that rule has no answer (a total below 100
// bytes, none announced, a negative count or a count beyond the total) the percentage is the
// count's share of the total kept within 0..100, and 0 when no total is known.
int downloadPercentage(int32_t total, int32_t done);

// A byte count as whole kilobytes, halves rounded away from zero: 1536 -> 2.
long long wholeKilobytes(int32_t bytes);

// The counts are 64-bit; the display takes them as the 32-bit numbers it was made for, cut at
// the largest one.
DownloadPicture downloadPicture(int64_t total, int64_t done);

} // namespace updater
