#pragma once

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

// The lines of a record's text, without their line ends.
std::vector<std::string_view> linesOf(std::string_view text);

} // namespace updater
