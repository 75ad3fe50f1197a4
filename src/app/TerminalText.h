#pragma once

#include <QString>

namespace updater {

// Texts from servers, lists, archives and records reach the terminal too: none of their control
// characters may move the cursor, clear the screen or rewrite a line, so each shows as a visible
// escape ("\x1b"). A notice keeps its line breaks and tabs; a line of a report keeps nothing, so
// that a name cannot start a line of its own.
enum class LineBreaks { Kept, Shown };
QString withoutTerminalControls(const QString& text, LineBreaks breaks);

} // namespace updater
