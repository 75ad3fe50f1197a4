#pragma once

namespace updater {

// The window, the browser engine and the media player live in a module of their own that only
// the window mode loads, so that --update-only, --version and --help start without the hundred
// libraries they would pull in. Runs the window mode from that module and returns the exit status.
int runWindowFromModule(int& argc, char** argv);

} // namespace updater
