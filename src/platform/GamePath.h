#pragma once

#include <string>

namespace updater {

// Game files are named the Windows way ("Tarvo-Updater\\GUI\\LOGO.BMP", "DATA\\x") while the
// folder on disk may spell them in any letter case. Turns every '\\' into '/' and resolves the
// path against the current directory component by component, taking an existing entry whose
// name matches without regard to case (an exact match wins). Components that do not exist keep
// the spelling given. The result is relative when the input is.
std::string resolveGamePath(const std::string& windowsPath);

// Joins "Tarvo-Updater", a backslash and the name, the way the program names its own files.
std::string updaterFolderPath(const std::string& fileName);

} // namespace updater
