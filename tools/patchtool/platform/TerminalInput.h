#pragma once

#include <optional>
#include <string>

namespace patchtool {

// A secret typed by the person at the terminal, not echoed, after `prompt` on the error output;
// when standard input is not a terminal, its first line (so that scripts can pipe it in). Nothing
// at the end of input.
std::optional<std::string> readSecretLine(const std::string& prompt);

} // namespace patchtool
