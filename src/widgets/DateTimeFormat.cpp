#include "widgets/DateTimeFormat.h"

namespace updater {

namespace {

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
    // Each field is written by Qt's own formatting, in the C locale for plain digits. The notation
    // cannot go to Qt whole: "dddd" is a day twice here, a day's name there.
    const QLocale digits = QLocale::c();
    const QDate date = moment.date();
    const QTime time = moment.time();
    QString out;
    bool afterHour = false;
    int i = 0;
    auto startsHere = [&](const char* token) { return format.mid(i).startsWith(token, Qt::CaseInsensitive); };
    while (i < format.size()) {
        if (startsHere("yyyy")) {
            out += digits.toString(date, u"yyyy");
            i += 4;
            afterHour = false;
        } else if (startsHere("dd")) {
            out += digits.toString(date, u"dd");
            i += 2;
            afterHour = false;
        } else if (startsHere("mm")) {
            out += afterHour ? digits.toString(time, u"mm") : digits.toString(date, u"MM");
            i += 2;
            afterHour = false;
        } else if (startsHere("hh")) {
            out += digits.toString(time, u"HH");
            i += 2;
            afterHour = true;
        } else if (startsHere("nn")) {
            out += digits.toString(time, u"mm");
            i += 2;
            afterHour = false;
        } else if (startsHere("ss")) {
            out += digits.toString(time, u"ss");
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
