#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace updater {

// An initialisation file read and written with the profile-file rules the game's tools share:
// section and key names match without regard to case, the first match wins, a value is the text
// after the first '=' with surrounding blanks and one pair of enclosing quotes removed, at most
// 2047 characters. Writes replace a value in place or append the key, creating section and file;
// every other line stays byte for byte.
class ProfileFile
{
public:
    static constexpr size_t MaxValueLength = 2047;

    // Reads the file once; a missing or unreadable file reads as empty.
    explicit ProfileFile(std::string path);

    const std::string& path() const { return m_path; }
    bool exists() const { return m_exists; }

    bool hasValue(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key, std::string_view fallback) const;
    int readInteger(std::string_view section, std::string_view key, int fallback) const;
    bool readBool(std::string_view section, std::string_view key, bool fallback) const;

    // Throws UpdaterError when the file cannot be written; the file on disk is then unchanged.
    void writeString(std::string_view section, std::string_view key, std::string_view value);

private:
    struct Line
    {
        std::string raw;
        std::string section; // lower-case name when this line opens a section
        std::string key;     // lower-case key when this is a key line
        bool isSection = false;
    };

    void parse(const std::string& bytes);
    void rebuildIndex();
    const std::string* find(std::string_view section, std::string_view key) const;

    std::string m_path;
    bool m_exists = false;
    bool m_crlf = true;
    bool m_finalNewline = true;
    std::vector<Line> m_lines;
    std::unordered_map<std::string, std::string> m_values; // "section\nkey" -> value, first match
};

// Value reading rules shared with other readers of such files.
std::string profileValueFromRaw(std::string_view afterEquals);
bool parseProfileInteger(std::string_view text, int& value);

} // namespace updater
