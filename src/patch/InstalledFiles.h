#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
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

// A line of the record that cannot be read, and why. It names no file that can be checked.
struct RefusedLine
{
    enum class Reason {
        Fields,     // not five fields
        Size,       // the size is not a number that fits
        Crc32,      // the CRC-32 is not eight hex digits
        Outside,    // the path leaves the game folder (or is empty)
        OwnFile,    // the path is one of the launcher's own files
        PastLargest // the record is larger than Largest: this line and the rest were not read
    };
    size_t line = 0; // from 1
    Reason reason = Reason::Fields;
    std::string text; // the line as it stands, written back unchanged
};

// The record of installed files: one line per file, the latest slot that wrote it winning. It lets
// a check find a file that was deleted or damaged after its patch, and tells which archive mends
// it. A game folder updated before the record existed gets one that names the slots it cannot
// cover (their files were never seen).
//
// It is read line by line: a line that cannot be read is refused, the others are read. Nothing
// is lost by saving a damaged record: refused lines are written back as they stand, and a record
// too large to be read whole is not written at all.
class InstalledFiles
{
public:
    // A record of this many bytes is not one the launcher wrote.
    static constexpr uint64_t Largest = 64 * 1024 * 1024;

    // Damaged: read, with lines refused. Unreadable: not a file, or reading it failed.
    enum class State { Read, Damaged, Missing, Unreadable };

    // Reads the record at `path` (installedFilesPath() resolved in the game folder).
    explicit InstalledFiles(std::string path);

    // As found on the disk; begin() does not change it.
    State state() const { return m_state; }
    const std::vector<RefusedLine>& refused() const { return m_refused; }
    const std::map<std::string, InstalledFile>& files() const { return m_files; }
    // Slots applied before the record began, whose files it does not know.
    const std::vector<std::string>& notCovered() const { return m_notCovered; }

    // Starts a record for a game folder whose slots `applied` were applied without one.
    void begin(std::vector<std::string> applied);
    void note(const std::string& path, InstalledFile file);
    // Forgets a path, such as one a repair wrote again under another letter case.
    void forget(const std::string& path) { m_files.erase(path); }
    // Writes the record durably, unless it was too large to be read whole. Throws UpdaterError
    // when it cannot be written.
    void save() const;

private:
    // Reads one line; the reason when it is refused.
    std::optional<RefusedLine::Reason> read(std::string_view line);

    std::string m_path;
    State m_state = State::Missing;
    std::vector<RefusedLine> m_refused;
    std::map<std::string, InstalledFile> m_files; // by path in the game folder, as written
    std::vector<std::string> m_notCovered;
};

} // namespace updater
