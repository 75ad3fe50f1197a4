#pragma once

namespace updater {

struct CommandLine;

// The tasks without a window: `tarvo-updater --update-only | --verify | --repair [--game-dir DIR]`,
// for servers and scheduled jobs on machines without a display. Takes the command line read and
// main()'s arguments, and returns the exit status (0: the task did all it is for).
int runHeadless(const CommandLine& line, int argc, char** argv);

} // namespace updater
