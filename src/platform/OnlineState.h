#pragma once

namespace updater {

// The on-line query at start: only a network state known to be "disconnected" counts as off-line;
// no backend or an unknown state counts as connected.
bool isConnectedToInternet();

} // namespace updater
