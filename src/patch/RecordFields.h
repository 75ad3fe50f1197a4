#pragma once

#include <charconv>
#include <string>
#include <string_view>
#include <vector>

namespace updater {

// The launcher's records keep one item a line, its fields separated by tabs; names may hold
// either, so a field is written escaped ("\\", "\t", "\n", "\r") and read back unescaped.
std::string escapedField(std::string_view text);
std::string unescapedField(std::string_view text);

// The tab-separated fields of one line, as they stand.
std::vector<std::string_view> fieldsOf(std::string_view line);

// The lines of a record's text, without their line ends: LF, or the CR LF of a record saved by an
// editor of the other platform (the launcher escapes every CR of its own).
std::vector<std::string_view> linesOf(std::string_view text);

// A number field: the whole field, digits only, that fits `number`.
template <typename Number> bool parseNumberField(std::string_view text, Number& number)
{
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    return !text.empty() && error == std::errc() && stop == end;
}

// A CRC-32 field: eight hex digits, in either case (a record mended by hand may spell them in
// upper case); the launcher writes lower case.
bool isCrc32Field(std::string_view text);

} // namespace updater
