#include "widgets/DateTimeFormat.h"

namespace updater {

namespace {

QString twoDigits(int value)
{
    return QString::number(value).rightJustified(2, '0');
}

// The first character of a locale format that is neither a field letter nor part of a quote.
QChar firstSeparator(const QString& format, QChar fallback)
{
    bool quoted = false;
    for (const QChar c : format) {
        if (c == '\'') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && !c.isLetter() && !c.isSpace())
            return c;
    }
    return fallback;
}

} // namespace

QString formatStatusDateTime(const QString& format, const QDateTime& moment, QChar dateSeparator,
                             QChar timeSeparator)
{
    const QDate date = moment.date();
    const QTime time = moment.time();
    QString out;
    bool afterHour = false;
    int i = 0;
    auto startsHere = [&](const char* token) { return format.mid(i).startsWith(token, Qt::CaseInsensitive); };
    while (i < format.size()) {
        if (startsHere("yyyy")) {
            out += QString::number(date.year()).rightJustified(4, '0');
            i += 4;
            afterHour = false;
        } else if (startsHere("dd")) {
            out += twoDigits(date.day());
            i += 2;
            afterHour = false;
        } else if (startsHere("mm")) {
            out += twoDigits(afterHour ? time.minute() : date.month());
            i += 2;
            afterHour = false;
        } else if (startsHere("hh")) {
            out += twoDigits(time.hour());
            i += 2;
            afterHour = true;
        } else if (startsHere("nn")) {
            out += twoDigits(time.minute());
            i += 2;
            afterHour = false;
        } else if (startsHere("ss")) {
            out += twoDigits(time.second());
            i += 2;
            afterHour = false;
        } else {
            const QChar c = format[i];
            out += c == '/' ? dateSeparator : c == ':' ? timeSeparator : c;
            ++i;
        }
    }
    return out;
}

QChar dateSeparatorOf(const QLocale& locale)
{
    return firstSeparator(locale.dateFormat(QLocale::ShortFormat), '/');
}

QChar timeSeparatorOf(const QLocale& locale)
{
    return firstSeparator(locale.timeFormat(QLocale::ShortFormat), ':');
}

} // namespace updater
