#pragma once

#include <string>

namespace updater {

// Starts a program file of the game folder without waiting for it, the way the game's tools are
// started: the whole text is the program's file name (relative to the current directory, '\\'
// allowed), no arguments are added, and the game folder is the working folder.
//
// A Windows program (its file begins with "MZ") is handed to Wine on other systems; the WINE
// environment variable, when set, names the Wine program to use, otherwise "wine" is looked up.
//
// Returns true when the process was started. Otherwise an "Alert" box has told the player why
// (missing file, a folder, no execute permission, no Wine for a Windows program) and the caller
// must carry on as if nothing was started.
bool startProgram(const std::string& commandLine);

} // namespace updater
