#pragma once

#include <string>

namespace updater {

// The community address the status line spells out; the link itself goes to the configured home page.
inline constexpr const char* StatusLineDisplayAddress = "www.tarvo-gv.example";

// The markup of the status line's first panel: a bold label and a link to `homepage` showing the
// display address. The closing tag is left without its ">" on purpose; the status line hides it.
std::string statusLineText(const std::string& homepage);

} // namespace updater
