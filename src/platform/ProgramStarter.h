#pragma once

#include <string>

namespace updater {

enum class ProgramStart {
    Started,
    NotFound,      // no such file in the game folder
    IsFolder,      // the name is a folder
    NoWine,        // a Windows program, and no Wine to run it
    NotExecutable, // a file without execute permission
    Refused,       // the system could not start it
};

// Starts a program file of the game folder without waiting for it, the way the game's tools are
// started: the whole text is the program's file name (relative to the current directory, '\\'
// allowed), no arguments are added, and the game folder is the working folder.
//
// A Windows program (its file begins with "MZ") is handed to Wine on other systems; the WINE
// environment variable, when set, names the Wine program to use, otherwise "wine" is looked up.
ProgramStart startProgram(const std::string& commandLine);

} // namespace updater
