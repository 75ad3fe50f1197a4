#pragma once

#include <string>

namespace patchtool {

// A plain logo for a new community: the launcher does not start without GUI/LOGO.BMP, and the
// administrator replaces it with the community's own (89 by 84 pixels, the size the window shows).
// A 24-bit BMP, drawn here so that the tool needs no image program.
std::string placeholderLogo();

} // namespace patchtool
