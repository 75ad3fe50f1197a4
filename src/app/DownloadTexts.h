#pragma once

#include "patch/DownloadPicture.h"

#include <QString>

namespace updater {

// The download display's texts for a picture: "1,206 Kb" received, "1,206 kb" announced, "50 %".
struct DownloadTexts
{
    QString received;
    QString announced;
    QString percent;
};

// In the player's number format unless a separator is given.
DownloadTexts downloadTexts(const DownloadPicture& picture, const QString& thousandsSeparator);
DownloadTexts downloadTexts(const DownloadPicture& picture);

} // namespace updater
