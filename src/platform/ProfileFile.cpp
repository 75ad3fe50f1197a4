#include "platform/ProfileFile.h"

#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/PathText.h"
#include "platform/UpdaterError.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <unordered_set>

namespace updater {

namespace {

// What the platform counts as blank around lines, names and values: Ctrl-Z too, which old
// editors leave at the end of a file.
constexpr std::string_view ProfileBlanks = " \t\n\v\f\r\x1a";
// The buffer the launcher reads a value into, terminating NUL included.
constexpr size_t ValueBuffer = ProfileFile::MaxValueLength + 1;

std::string_view cutAtNul(std::string_view text)
{
    return text.substr(0, text.find('\0'));
}

std::string indexKey(std::string_view section, std::string_view key)
{
    return lowerAscii(trimBlanks(section, ProfileBlanks)) + '\n' + lowerAscii(trimBlanks(key, ProfileBlanks));
}

// What the platform copies into a buffer of `size` characters: at most size - 1 of them. A value
// in one pair of quotes loses the opening one, and when the rest is at most `size` characters long
// also the last character copied: the closing quote, or the text's own last when that just fits.
std::string copyValue(std::string_view value, size_t size)
{
    value = cutAtNul(value);
    const bool quoted =
        value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    if (quoted)
        value.remove_prefix(1);
    std::string_view copied = value.substr(0, size - 1);
    if (quoted && value.size() <= size)
        copied.remove_suffix(1);
    return std::string(copied);
}

// The Western code page's characters 0x80..0x9F; the rest of 0x00..0xFF is Latin-1.
constexpr char16_t Windows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                          0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                          0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                          0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The next character of UTF-8 text (lone UTF-16 halves included, as decoding a file leaves
// them); an invalid or cut sequence gives U+FFFD.
char32_t nextUtf8(std::string_view text, size_t& pos)
{
    const auto lead = static_cast<unsigned char>(text[pos++]);
    if (lead < 0x80)
        return lead;
    const int length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4)
        return 0xFFFD;
    char32_t c = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if (pos >= text.size() || (static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80)
            return 0xFFFD;
        c = (c << 6) | (static_cast<unsigned char>(text[pos++]) & 0x3F);
    }
    return c;
}

// UTF-8 to the Western code page, as the platform hands text to a program: '?' for what it
// lacks, one for each half of a character beyond U+FFFF.
std::string westernFromUtf8(std::string_view text)
{
    std::string out;
    for (size_t pos = 0; pos < text.size();) {
        const char32_t c = nextUtf8(text, pos);
        char byte = '?';
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
            byte = static_cast<char>(c);
        else if (const auto* at = std::find(std::begin(Windows1252High), std::end(Windows1252High), c);
                 at != std::end(Windows1252High))
            byte = static_cast<char>(0x80 + (at - std::begin(Windows1252High)));
        out += byte;
        if (c > 0xFFFF)
            out += '?';
    }
    return out;
}

std::string utf8FromWestern(std::string_view text)
{
    std::string out;
    for (char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        appendUtf8(out, byte >= 0x80 && byte < 0xA0 ? Windows1252High[byte - 0x80] : byte);
    }
    return out;
}

std::string utf8FromUtf16(std::string_view bytes, bool bigEndian)
{
    std::string out;
    auto unit = [&](size_t i) -> char16_t {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            const char16_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        appendUtf8(out, c);
    }
    return out;
}

std::string utf16FromUtf8(std::string_view text, bool bigEndian)
{
    std::string out;
    auto put = [&](char32_t u) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    };
    for (size_t pos = 0; pos < text.size();) {
        const char32_t c = nextUtf8(text, pos);
        if (c > 0xFFFF) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view Utf16LeMark = "\xFF\xFE";
constexpr std::string_view Utf16BeMark = "\xFE\xFF";

} // namespace

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
    }
    // Also for hexadecimal: "-$80000000" negates the lowest value past the highest.
    if (result < INT32_MIN || result > INT32_MAX)
        return false;
    value = static_cast<int>(result);
    return true;
}

ProfileFile::ProfileFile(std::string path) : m_path(std::move(path))
{
    std::string bytes;
    // Only a regular file is read, and never past the cap: a device such as /dev/zero never ends.
    const OwnFileRead read = readFileUpTo(m_path, bytes, Largest);
    m_tooLarge = read == OwnFileRead::TooLarge;
    m_exists = read == OwnFileRead::Read;
    if (m_exists && exceedsLineCaps(bytes)) {
        m_tooLarge = true;
        m_exists = false;
    }
    if (m_exists)
        parse(bytes);
}

bool ProfileFile::exceedsLineCaps(std::string_view bytes)
{
    // Counted before anything is held: a line ends at CR, LF or CR LF.
    size_t lines = 0, sections = 0;
    bool lineStart = true;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            ++lines;
            lineStart = true;
        } else if (lineStart && c != ' ' && c != '\t') {
            sections += c == '[' ? 1 : 0;
            lineStart = false;
        }
    }
    return lines > LargestLineCount || sections > LargestSectionCount;
}

void ProfileFile::parse(const std::string& bytes)
{
    std::string text;
    if (bytes.starts_with(Utf8Mark)) {
        m_encoding = Encoding::Utf8;
        text = bytes.substr(Utf8Mark.size());
    } else if (bytes.starts_with(Utf16LeMark) || bytes.starts_with(Utf16BeMark)) {
        m_encoding = bytes.starts_with(Utf16LeMark) ? Encoding::Utf16Le : Encoding::Utf16Be;
        text = utf8FromUtf16(std::string_view(bytes).substr(2), m_encoding == Encoding::Utf16Be);
    } else {
        m_encoding = Encoding::Ansi;
        text = bytes;
    }
    // Added lines follow the file's own line ends.
    m_newline = text.find("\r\n") != std::string::npos ? "\r\n"
                : text.find('\n') != std::string::npos ? "\n"
                : text.find('\r') != std::string::npos ? "\r"
                                                       : "\r\n";
    m_lines.clear();
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
        Line line;
        line.raw = text.substr(pos, end - pos);
        line.ending = text.substr(end, text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        classify(line);
        pos = end + line.ending.size();
        m_lines.push_back(std::move(line));
    }
    rebuildIndex();
}

void ProfileFile::classify(Line& line) const
{
    const std::string_view text = trimBlanks(line.raw, ProfileBlanks);
    if (text.empty())
        return;
    // Names and values reach the program in its code page, whatever the file's encoding.
    auto programText = [this](std::string_view part) {
        return m_encoding == Encoding::Ansi ? std::string(part) : westernFromUtf8(part);
    };
    if (const auto close = text.rfind(']'); text.front() == '[' && close != std::string_view::npos) {
        line.isSection = true;
        line.name = lowerAscii(cutAtNul(programText(trimBlanks(text.substr(1, close - 1), ProfileBlanks))));
        return;
    }
    line.isKey = true;
    const auto eq = text.find('=');
    line.name = lowerAscii(cutAtNul(programText(trimBlanks(text.substr(0, eq), ProfileBlanks))));
    if (eq != std::string_view::npos)
        line.value = programText(trimBlanks(text.substr(eq + 1), ProfileBlanks));
}

void ProfileFile::rebuildIndex()
{
    m_values.clear();
    // Lines before the first section line form a section without a name.
    std::unordered_set<std::string> seenSections{""};
    bool active = true;
    std::string current;
    for (const Line& line : m_lines) {
        if (line.isSection) {
            // Only the first section of a name is looked at.
            active = seenSections.insert(line.name).second;
            current = line.name;
        } else if (active && line.isKey) {
            m_values.emplace(current + '\n' + line.name, line.value);
        }
    }
}

const std::string* ProfileFile::find(std::string_view section, std::string_view key) const
{
    const auto it = m_values.find(indexKey(section, key));
    return it == m_values.end() || !it->second ? nullptr : &*it->second;
}

std::vector<ProfileFile::KeyLine> ProfileFile::keyLines() const
{
    std::vector<KeyLine> keys;
    std::string section;
    for (const Line& line : m_lines) {
        if (line.isSection)
            section = line.name;
        else if (line.isKey)
            keys.push_back({section, line.name, line.value});
    }
    return keys;
}

bool ProfileFile::hasValue(std::string_view section, std::string_view key) const
{
    return find(section, key) != nullptr;
}

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const
{
    if (const std::string* value = find(section, key))
        return copyValue(*value, ValueBuffer);
    // The platform drops a default's trailing spaces (all but the first character) and then
    // treats it as a value.
    fallback = cutAtNul(fallback);
    while (fallback.size() > 1 && fallback.back() == ' ')
        fallback.remove_suffix(1);
    return copyValue(fallback, ValueBuffer);
}

int ProfileFile::readInteger(std::string_view section, std::string_view key, int fallback) const
{
    const std::string* text = find(section, key);
    int value;
    if (text && parseProfileInteger(copyValue(*text, ValueBuffer), value))
        return value;
    return fallback;
}

bool ProfileFile::readBool(std::string_view section, std::string_view key, bool fallback) const
{
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

void ProfileFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    if (m_tooLarge)
        throw UpdaterError(m_path + " is larger than 16 MiB");
    const std::string wantedSection = lowerAscii(trimBlanks(section, ProfileBlanks));
    const std::string wantedKey = lowerAscii(trimBlanks(key, ProfileBlanks));
    // Text from the program is in its code page; a Unicode file keeps UTF-8 lines.
    auto fileText = [this](std::string_view part) {
        return m_encoding == Encoding::Ansi ? std::string(part) : utf8FromWestern(part);
    };
    auto newLine = [this](std::string raw) {
        Line line;
        line.raw = std::move(raw);
        line.ending = m_newline;
        return line;
    };
    const Line keyLine = newLine(fileText(trimBlanks(key, ProfileBlanks)) + "=" + fileText(value));

    std::vector<Line> lines = m_lines;
    // The line a new one follows gets a line end if it had none.
    auto endLastLine = [&](size_t insertAt) {
        if (insertAt == lines.size() && !lines.empty() && lines.back().ending.empty())
            lines.back().ending = m_newline;
    };
    size_t sectionAt = lines.size();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].isSection && lines[i].name == wantedSection) {
            sectionAt = i;
            break;
        }
    if (sectionAt == lines.size()) {
        endLastLine(lines.size());
        lines.push_back(newLine("[" + fileText(trimBlanks(section, ProfileBlanks)) + "]"));
        lines.push_back(keyLine);
    } else {
        size_t end = sectionAt + 1;
        while (end < lines.size() && !lines[end].isSection)
            ++end;
        size_t existing = end;
        for (size_t i = sectionAt + 1; i < end; ++i)
            if (lines[i].isKey && lines[i].name == wantedKey) {
                existing = i;
                break;
            }
        if (existing != end) {
            lines[existing] = keyLine;
        } else {
            // Append after the section's last non-blank line.
            size_t insertAt = end;
            while (insertAt > sectionAt + 1 && !lines[insertAt - 1].isKey)
                --insertAt;
            endLastLine(insertAt);
            lines.insert(lines.begin() + static_cast<long>(insertAt), keyLine);
        }
    }

    std::string text;
    for (const Line& line : lines)
        text += line.raw + line.ending;
    std::string bytes;
    switch (m_encoding) {
    case Encoding::Ansi:
        bytes = std::move(text);
        break;
    case Encoding::Utf8:
        bytes = std::string(Utf8Mark) + text;
        break;
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        bytes = std::string(m_encoding == Encoding::Utf16Le ? Utf16LeMark : Utf16BeMark) +
                utf16FromUtf8(text, m_encoding == Encoding::Utf16Be);
        break;
    }
    writeFileAtomically(m_path, bytes, m_durability);
    m_exists = true;
    parse(bytes);
}

} // namespace updater
