#pragma once

#include <string>

namespace updater {

// The launcher's log for players to hand to their community: one line per event, each starting
// with the UTC time in ISO 8601 ("2026-12-07T11:45:01.123Z"). The file is kept under 1 MiB by
// moving it to "<path>.1" (replacing an older one) before a line would cross that size.

// Starts logging into `path` (appending); nothing is logged before. False when it cannot be opened.
bool openEventLog(const std::string& path);
void closeEventLog();

// Appends one line; line breaks inside `text` are written as "\n", other control characters as
// visible escapes ("\x1b"). Safe on any thread.
void logEvent(const std::string& text);

// The largest size the log grows to before it is moved aside.
inline constexpr long EventLogLimit = 1024 * 1024;

} // namespace updater
