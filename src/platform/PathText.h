#pragma once

#include <string>
#include <string_view>

namespace updater {

// The folder part of a path: "." when it has none, "/" for a file in the root.
std::string folderOf(const std::string& path);

// Only 'A' to 'Z' change: names on disk and in settings files compare the same whatever the
// locale, and 8-bit bytes of file names stay as they are.
std::string lowerAscii(std::string_view text);

// What settings files count as blanks around names and values.
inline constexpr std::string_view SettingsBlanks = " \t\r\n\v\f";

// The text without the given blanks at either end.
std::string_view trimBlanks(std::string_view text, std::string_view blanks = SettingsBlanks);

// UTF-8 of a wide-character text (as the archive library hands out names and comments), whatever
// the process locale. Characters that cannot be encoded become U+FFFD.
std::string utf8FromWide(std::wstring_view text);

} // namespace updater
