#pragma once

namespace updater {

// The update run without a window: `tarvo-updater --update-only [--game-dir DIR]`, for servers
// and scheduled jobs on machines without a display. Takes main()'s arguments and returns the exit
// status (0: the list was fetched and every slot applied).
int runHeadlessUpdate(int argc, char** argv);

// Whether the command line asks for the update run without a window.
bool wantsHeadlessUpdate(int argc, char** argv);

} // namespace updater
