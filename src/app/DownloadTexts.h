#pragma once

#include "patch/DownloadPicture.h"

#include <QString>

#include <optional>

namespace updater {

// The download display's texts for a picture: "1,206 Kb" received, "1,206 kb" announced, "50 %".
struct DownloadTexts
{
    QString received;
    QString announced;
    QString percent;
};

// A number with its digits grouped by the separator: 1206 -> "1,206".
QString groupedDigits(long long number, const QString& thousandsSeparator);

// In the player's number format unless a separator is given.
DownloadTexts downloadTexts(const DownloadPicture& picture, const QString& thousandsSeparator);
DownloadTexts downloadTexts(const DownloadPicture& picture);

// A time left as "0:42", or "1:02:03" past an hour.
QString durationText(qint64 seconds);

// What an archive's download is at, after its name: "(2 of 5)", and once known the speed and the
// time left: "(2 of 5), 412 kB/s, 0:42 left". `count` 0 leaves the position out; a speed of 0 the rest.
QString patchProgressText(int number, int count, qint64 kilobytesPerSecond, qint64 secondsLeft);

// The time left of the archive and, when other archives follow, of the whole run: "0:42 left",
// "0:42 left, all patches 3:10". Empty while the archive's is not known.
QString timeLeftText(std::optional<qint64> archiveSeconds, std::optional<qint64> runSeconds);

// How much of an archive other players sent: "62 % from players". Empty when none did.
QString fromPlayersText(qint64 fromPlayers, qint64 archiveBytes);

} // namespace updater
