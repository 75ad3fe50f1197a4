#include "platform/ProfileFile.h"

#include "platform/AtomicFile.h"
#include "platform/PathText.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>

namespace updater {

namespace {

std::string indexKey(std::string_view section, std::string_view key)
{
    return lowerAscii(trimBlanks(section)) + '\n' + lowerAscii(trimBlanks(key));
}

} // namespace

std::string profileValueFromRaw(std::string_view afterEquals)
{
    std::string_view value = trimBlanks(afterEquals);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    if (value.size() > ProfileFile::MaxValueLength)
        value = value.substr(0, ProfileFile::MaxValueLength);
    return std::string(value);
}

bool parseProfileInteger(std::string_view text, int& value)
{
    text = trimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (!text.empty() && text[0] == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty())
        return false;
    uint64_t magnitude = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > 0xFFFFFFFFull)
            return false;
    }
    int64_t result;
    if (base == 16) {
        // Hexadecimal covers the whole 32-bit pattern: $FFFFFFFF is -1.
        result = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
        if (negative)
            result = -result;
    } else {
        result = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
        if (result < INT32_MIN || result > INT32_MAX)
            return false;
    }
    if (result < INT32_MIN || result > INT32_MAX)
        return false;
    value = static_cast<int>(result);
    return true;
}

ProfileFile::ProfileFile(std::string path) : m_path(std::move(path))
{
    std::string bytes;
    m_exists = readWholeFile(m_path, bytes);
    if (m_exists)
        parse(bytes);
}

void ProfileFile::parse(const std::string& bytes)
{
    m_lines.clear();
    m_crlf =
        bytes.empty() || bytes.find("\r\n") != std::string::npos || bytes.find('\n') == std::string::npos;
    m_finalNewline = bytes.empty() || bytes.back() == '\n';
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos)
            end = bytes.size();
        Line line;
        line.raw = bytes.substr(pos, end - pos);
        std::string_view text = trimBlanks(line.raw);
        // A file saved by an editor as UTF-8 may open with a byte order mark; it is no part of a name.
        if (pos == 0 && text.substr(0, 3) == "\xEF\xBB\xBF")
            text = trimBlanks(text.substr(3));
        if (!text.empty() && text.front() == '[') {
            const auto close = text.find(']');
            line.isSection = true;
            line.section = lowerAscii(
                trimBlanks(text.substr(1, close == std::string_view::npos ? text.npos : close - 1)));
        } else if (const auto eq = line.raw.find('='); eq != std::string::npos) {
            line.key = lowerAscii(trimBlanks(std::string_view(line.raw).substr(0, eq)));
        }
        m_lines.push_back(std::move(line));
        pos = end + 1;
    }
    rebuildIndex();
}

void ProfileFile::rebuildIndex()
{
    m_values.clear();
    std::unordered_set<std::string> seenSections;
    bool active = false;
    std::string current;
    for (const Line& line : m_lines) {
        if (line.isSection) {
            // Only the first section of a name is looked at, as the platform reader does.
            active = seenSections.insert(line.section).second;
            current = line.section;
            continue;
        }
        if (!active || line.key.empty())
            continue;
        const auto eq = line.raw.find('=');
        m_values.emplace(current + '\n' + line.key,
                         profileValueFromRaw(std::string_view(line.raw).substr(eq + 1)));
    }
}

const std::string* ProfileFile::find(std::string_view section, std::string_view key) const
{
    const auto it = m_values.find(indexKey(section, key));
    return it == m_values.end() ? nullptr : &it->second;
}

bool ProfileFile::hasValue(std::string_view section, std::string_view key) const
{
    return find(section, key) != nullptr;
}

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const
{
    const std::string* value = find(section, key);
    return value ? *value : std::string(fallback);
}

int ProfileFile::readInteger(std::string_view section, std::string_view key, int fallback) const
{
    const std::string* text = find(section, key);
    int value;
    if (text && parseProfileInteger(*text, value))
        return value;
    return fallback;
}

bool ProfileFile::readBool(std::string_view section, std::string_view key, bool fallback) const
{
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

void ProfileFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string wantedSection = lowerAscii(trimBlanks(section));
    const std::string wantedKey = lowerAscii(trimBlanks(key));
    const std::string cr = m_crlf ? "\r" : "";
    std::string newLine = std::string(trimBlanks(key)) + "=" + std::string(value) + cr;

    std::vector<Line> lines = m_lines;
    // A last line without line end stays so, unless the new line goes after it or replaces it.
    bool lastLineUnterminated = !m_finalNewline && !lines.empty();
    size_t sectionAt = lines.size();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].isSection && lines[i].section == wantedSection) {
            sectionAt = i;
            break;
        }
    Line keyLine;
    keyLine.raw = newLine;
    keyLine.key = wantedKey;
    if (sectionAt == lines.size()) {
        if (lastLineUnterminated) {
            lines.back().raw += cr; // the old last line gets its line end
            lastLineUnterminated = false;
        }
        Line header;
        header.raw = "[" + std::string(trimBlanks(section)) + "]" + cr;
        header.isSection = true;
        header.section = wantedSection;
        lines.push_back(header);
        lines.push_back(keyLine);
    } else {
        size_t end = sectionAt + 1;
        while (end < lines.size() && !lines[end].isSection)
            ++end;
        size_t existing = end;
        for (size_t i = sectionAt + 1; i < end; ++i)
            if (lines[i].key == wantedKey) {
                existing = i;
                break;
            }
        if (existing != end) {
            if (existing + 1 == lines.size())
                lastLineUnterminated = false;
            lines[existing] = keyLine;
        } else {
            // Append after the section's last non-blank line.
            size_t insertAt = end;
            while (insertAt > sectionAt + 1 && trimBlanks(lines[insertAt - 1].raw).empty())
                --insertAt;
            if (insertAt == lines.size() && lastLineUnterminated) {
                lines.back().raw += cr;
                lastLineUnterminated = false;
            }
            lines.insert(lines.begin() + static_cast<long>(insertAt), keyLine);
        }
    }

    std::string bytes;
    for (size_t i = 0; i < lines.size(); ++i) {
        bytes += lines[i].raw;
        if (i + 1 < lines.size() || !lastLineUnterminated)
            bytes += '\n';
    }
    writeFileAtomically(m_path, bytes);
    m_exists = true;
    parse(bytes);
}

} // namespace updater
