#pragma once

#include <QList>
#include <QString>

namespace updater {

// A stretch of text drawn with one formatting.
struct MarkupRun
{
    QString text;
    bool bold = false;
    bool link = false; // underlined in the link colour, reacts to the mouse
    QString address;   // the link's target

    bool operator==(const MarkupRun& other) const = default;
};

// Splits the markup of a status line panel into runs. Understood: <b>...</b>, <A href="...">...</A>
// (names in any letter case), &lt; and &gt;. Other tags are dropped; a tag without its closing ">"
// hides itself and the rest of the text, the formatting in effect staying as it was.
QList<MarkupRun> parseStatusMarkup(const QString& markup);

} // namespace updater
