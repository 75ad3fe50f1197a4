#include "app/DownloadTexts.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>

namespace updater {

QString groupedDigits(long long number, const QString& thousandsSeparator)
{
    const QString digits = QString::number(number < 0 ? -number : number);
    QString grouped;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += thousandsSeparator;
        grouped += digits[i];
    }
    return number < 0 ? "-" + grouped : grouped;
}

DownloadTexts downloadTexts(const DownloadPicture& picture, const QString& thousandsSeparator)
{
    return {groupedDigits(picture.receivedKilobytes, thousandsSeparator) + " Kb",
            groupedDigits(picture.announcedKilobytes, thousandsSeparator) + " kb",
            QString::number(picture.percent) + " %"};
}

QString durationText(qint64 seconds)
{
    if (seconds >= 3600)
        return QString("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QChar('0'))
            .arg(seconds % 60, 2, 10, QChar('0'));
    return QString("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
}

QString patchProgressText(int number, int count, qint64 kilobytesPerSecond, qint64 secondsLeft)
{
    QStringList parts;
    if (count > 0)
        parts << QString("(%1 of %2)").arg(number).arg(count);
    if (kilobytesPerSecond > 0) {
        parts << QString::number(kilobytesPerSecond) + " kB/s";
        if (secondsLeft > 0)
            parts << durationText(secondsLeft) + " left";
    }
    return parts.join(", ");
}

QString timeLeftText(std::optional<qint64> archiveSeconds, std::optional<qint64> runSeconds)
{
    if (!archiveSeconds)
        return {};
    QString text = durationText(*archiveSeconds) + " left";
    if (runSeconds && *runSeconds > *archiveSeconds)
        text += ", all patches " + durationText(*runSeconds);
    return text;
}

QString fromPlayersText(qint64 fromPlayers, qint64 archiveBytes)
{
    if (fromPlayers <= 0 || archiveBytes <= 0)
        return {};
    return QString::number(std::min<qint64>(fromPlayers * 100 / archiveBytes, 100)) + " % from players";
}

DownloadTexts downloadTexts(const DownloadPicture& picture)
{
    static const QString separator = QLocale::system().groupSeparator();
    return downloadTexts(picture, separator);
}

} // namespace updater
