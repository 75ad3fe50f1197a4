#include "app/TerminalText.h"

namespace updater {

QString withoutTerminalControls(const QString& text, LineBreaks breaks)
{
    const bool keepBreaks = breaks == LineBreaks::Kept;
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        const bool kept = keepBreaks && (code == '\n' || code == '\t');
        const bool control = (code < 0x20 && !kept) || (code >= 0x7f && code <= 0x9f);
        if (control)
            shown += QString("\\x%1").arg(int(code), 2, 16, QChar('0'));
        else
            shown += c;
    }
    return shown;
}

} // namespace updater
