#pragma once

#include <string>

namespace updater {

// The system the launcher runs on, for the log a community supports players from: the
// distribution's name and the kernel ("Debian GNU/Linux 12 (bookworm), Linux 6.1.0-13-amd64").
std::string systemDescription();

// The game folder (the current folder) as an absolute path.
std::string gameFolderPath();

} // namespace updater
