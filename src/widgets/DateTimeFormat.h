#pragma once

#include <QChar>
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace updater {

// Formats in the status line's notation: "dd" day, "mm" month (minutes right after "hh"),
// "yyyy" year, "hh" hour 00-23, "nn" minutes, "ss" seconds; "/" becomes the date separator and
// ":" the time separator; every other character is copied.
QString formatStatusDateTime(const QString& format, const QDateTime& moment, QChar dateSeparator,
                             QChar timeSeparator);

// The separators of the user's regional settings, taken from the locale's short formats.
QChar dateSeparatorOf(const QLocale& locale);
QChar timeSeparatorOf(const QLocale& locale);

} // namespace updater
