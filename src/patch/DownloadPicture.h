#pragma once

#include <QString>

#include <cstdint>

namespace updater {

// What the download display shows for one pair of transfer numbers.
struct DownloadPicture
{
    QString progress; // transferLabel: kilobytes received, "1,206 Kb"
    QString size;     // sizeLabel: kilobytes announced, "1,206 kb"
    QString percent;  // percentLabel: "50 %"
    int bar = 0;      // downloadBar position, always within 0..100

    bool operator==(const DownloadPicture&) const = default;
};

// The percentage is the count divided by the truncated hundredth of the total, so totals below
// 10000 bytes may end a little above 100 %. Where that rule has no answer (a total below 100
// bytes, none announced, a negative count or a count beyond the total) the percentage is the
// count's share of the total kept within 0..100, and 0 when no total is known.
int downloadPercentage(int32_t total, int32_t done);

// A byte count as whole kilobytes, halves rounded away from zero, digits grouped with the
// separator: 1234567 -> "1,206".
QString kilobyteText(int32_t bytes, const QString& thousandsSeparator);

DownloadPicture downloadPicture(int32_t total, int32_t done, const QString& thousandsSeparator);

} // namespace updater
