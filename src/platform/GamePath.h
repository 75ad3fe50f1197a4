#pragma once

#include <string>
#include <unordered_map>

namespace updater {

// Game files are named the Windows way ("Tarvo-Updater\\GUI\\LOGO.BMP", "DATA\\x") while the
// folder on disk may spell them in any letter case. Turns every '\\' into '/' and resolves the
// path against the current directory component by component, taking an existing entry whose
// name matches without regard to case (an exact match wins). Components that do not exist keep
// the spelling given. The result is relative when the input is.
std::string resolveGamePath(const std::string& windowsPath);

// The same resolution for many paths in a row (the entries of one archive): each folder is read
// once, and the names the caller creates are remembered, so resolving stays cheap in a folder of
// thousands of files.
class GamePathResolver
{
public:
    std::string resolve(const std::string& windowsPath);
    // Tells the resolver that `resolvedPath` (a result of resolve()) now exists.
    void noteCreated(const std::string& resolvedPath);
    // The same for a folder the caller has just made: it is known to be empty.
    void noteNewFolder(const std::string& resolvedPath);

private:
    using Listing = std::unordered_map<std::string, std::string>; // lower-case name -> name on disk
    std::string findEntry(const std::string& folder, const std::string& name);
    Listing& listing(const std::string& folder);

    std::unordered_map<std::string, Listing> m_listings;
};

// Joins "Tarvo-Updater", a backslash and the name, the way the program names its own files.
std::string updaterFolderPath(const std::string& fileName);

} // namespace updater
