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

QString kilobyteText(int32_t bytes, const QString& thousandsSeparator)
{
    const long long kilobytes = std::llround(double(bytes) / 1024.0);
    const QString digits = QString::number(kilobytes < 0 ? -kilobytes : kilobytes);
    QString grouped;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += thousandsSeparator;
        grouped += digits[i];
    }
    return kilobytes < 0 ? "-" + grouped : grouped;
}

DownloadPicture downloadPicture(int32_t total, int32_t done, const QString& thousandsSeparator)
{
    const int percentage = downloadPercentage(total, done);
    DownloadPicture picture;
    picture.progress = kilobyteText(done, thousandsSeparator) + " Kb";
    picture.size = kilobyteText(total, thousandsSeparator) + " kb";
    picture.percent = QString::number(percentage) + " %";
    picture.bar = std::clamp(percentage, 0, 100);
    return picture;
}

} // namespace updater
