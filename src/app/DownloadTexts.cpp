#include "app/DownloadTexts.h"

#include <QLocale>

namespace updater {

namespace {

// Whole kilobytes with their digits grouped by the separator: 1206 -> "1,206".
QString kilobyteText(long long kilobytes, const QString& thousandsSeparator)
{
    const QString digits = QString::number(kilobytes < 0 ? -kilobytes : kilobytes);
    QString grouped;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += thousandsSeparator;
        grouped += digits[i];
    }
    return kilobytes < 0 ? "-" + grouped : grouped;
}

} // namespace

DownloadTexts downloadTexts(const DownloadPicture& picture, const QString& thousandsSeparator)
{
    return {kilobyteText(picture.receivedKilobytes, thousandsSeparator) + " Kb",
            kilobyteText(picture.announcedKilobytes, thousandsSeparator) + " kb",
            QString::number(picture.percent) + " %"};
}

DownloadTexts downloadTexts(const DownloadPicture& picture)
{
    static const QString separator = QLocale::system().groupSeparator();
    return downloadTexts(picture, separator);
}

} // namespace updater
