#pragma once

#include "platform/DiskSync.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace updater {

// An initialisation file read and written the way the game platform's profile functions do:
// lines end at CR or LF; a section line is '[' up to the last ']'; a key line is the text before
// the first '=', its value the text after it, both without surrounding blanks; a key line
// without '=' has no value and reads as the default. Names match without regard to case, only
// the first section of a name is searched and the first key in it wins. A value loses one pair of
// enclosing quotes and everything from a NUL byte on, and is cut to 2047 characters. Files
// opening with a UTF-8 or UTF-16 byte order mark read in the Western code page.
// Writes replace the key's line in place or append the key, creating section and file; every
// other line stays byte for byte.
class ProfileFile
{
public:
    static constexpr size_t MaxValueLength = 2047;

    // The largest file read: a larger one is damage or someone else's, and reading it whole would
    // take the memory of many.
    static constexpr uint64_t Largest = 16 * 1024 * 1024;
    // The most lines, and section lines, read: each line read is held in memory, and a million
    // short ones under the byte cap took a quarter of a gigabyte.
    static constexpr size_t LargestLineCount = 250000;
    static constexpr size_t LargestSectionCount = 10000;

    // Reads the file once; a missing or unreadable file reads as empty, as does one past Largest
    // or the line caps, which also refuses every write (so that what it holds is not lost).
    explicit ProfileFile(std::string path);

    // Whether a document of these bytes would pass the line caps: a downloaded one that would not
    // is refused before it replaces one that does.
    static bool exceedsLineCaps(std::string_view bytes);

    const std::string& path() const { return m_path; }
    bool exists() const { return m_exists; }
    bool tooLarge() const { return m_tooLarge; }

    bool hasValue(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key, std::string_view fallback) const;
    int readInteger(std::string_view section, std::string_view key, int fallback) const;
    bool readBool(std::string_view section, std::string_view key, bool fallback) const;

    // One key line as the reader splits the file: the names of its section and its key, lower case
    // as they are matched, and its value as read (before quotes are removed or it is cut), nothing
    // without '='. Lines before the first section have the section "".
    struct KeyLine
    {
        std::string section;
        std::string key;
        std::optional<std::string> value;
    };
    // Every key line in file order, including those that a lookup never reaches (a key repeated,
    // a section name used twice): for checks of what the reader will and will not see.
    std::vector<KeyLine> keyLines() const;

    // Every later write returns only once the file is on the disk (see Durability).
    void writeDurably() { m_durability = Durability::Durable; }

    // Throws UpdaterError when the file cannot be written; the file on disk is then unchanged.
    void writeString(std::string_view section, std::string_view key, std::string_view value);

private:
    enum class Encoding { Ansi, Utf8, Utf16Le, Utf16Be };

    struct Line
    {
        std::string raw;                  // as in the file (UTF-8 for a Unicode file), without its line end
        std::string ending;               // "\r\n", "\n", "\r", or empty for a last line without one
        std::string name;                 // lower-case section or key name
        std::optional<std::string> value; // a key line's value, when it has '='
        bool isSection = false;
        bool isKey = false;
    };

    void parse(const std::string& bytes);
    void classify(Line& line) const;
    void rebuildIndex();
    const std::string* find(std::string_view section, std::string_view key) const;

    std::string m_path;
    bool m_exists = false;
    bool m_tooLarge = false;
    Durability m_durability = Durability::Ordinary;
    Encoding m_encoding = Encoding::Ansi;
    std::string m_newline = "\r\n"; // for lines this program adds
    std::vector<Line> m_lines;
    // "section\nkey" -> value of the first match; no value for a key line without '='.
    std::unordered_map<std::string, std::optional<std::string>> m_values;
};

// Number reading shared with other readers of such files.
bool parseProfileInteger(std::string_view text, int& value);

} // namespace updater
