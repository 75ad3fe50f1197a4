#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace updater {

// "Tarvo-Updater\installed-files.list": every file the patches wrote, with what it must hold.
std::string installedFilesPath();

// What a patch wrote into a file of the game folder.
struct InstalledFile
{
    std::string slot;     // "Update_3"
    std::string document; // the archive's name, as in the record of applied patches
    uint64_t size = 0;
    std::string crc32; // 8 lowercase hex digits (crc32Hex)
};

// The record of installed files: one line per file, the latest slot that wrote it winning. It lets
// a check find a file that was deleted or damaged after its patch, and tells which archive mends
// it. A game folder updated before the record existed gets one that names the slots it cannot
// cover (their files were never seen).
class InstalledFiles
{
public:
    // A record of this many bytes is not one the launcher wrote.
    static constexpr uint64_t Largest = 64 * 1024 * 1024;

    enum class State { Read, Missing, Unreadable };

    // Reads the record at `path` (installedFilesPath() resolved in the game folder).
    explicit InstalledFiles(std::string path);

    State state() const { return m_state; }
    const std::map<std::string, InstalledFile>& files() const { return m_files; }
    // Slots applied before the record began, whose files it does not know.
    const std::vector<std::string>& notCovered() const { return m_notCovered; }

    // Starts a record for a game folder whose slots `applied` were applied without one.
    void begin(std::vector<std::string> applied);
    void note(const std::string& path, InstalledFile file);
    // Forgets a path, such as one a repair wrote again under another letter case.
    void forget(const std::string& path) { m_files.erase(path); }
    // Writes the record durably. Throws UpdaterError when it cannot be written.
    void save() const;

private:
    std::string m_path;
    State m_state = State::Missing;
    std::map<std::string, InstalledFile> m_files; // by path in the game folder, as written
    std::vector<std::string> m_notCovered;
};

} // namespace updater
