#pragma once

#include <string>

namespace updater {

// Hands an address to the desktop, which opens it in the player's web browser. The launcher does
// not wait and does not look at the outcome.
void shellOpen(const std::string& address);

} // namespace updater
