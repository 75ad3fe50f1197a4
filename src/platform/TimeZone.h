#pragma once

namespace updater {

// The archive library converts every entry's time with localtime(), and with TZ unset the C library
// looks at /etc/localtime again on every call: a system call per entry of an archive of thousands.
// Naming that same file in TZ has it read once; the zone stays the system's, also for the programs
// the launcher starts. Call at the start of main, before any thread exists.
void readTimeZoneOnce();

} // namespace updater
