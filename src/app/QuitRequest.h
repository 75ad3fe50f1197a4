#pragma once

namespace updater {

// Asks the application to end: a quit is posted to the window thread's event loop, so the code
// that asked runs to its end first. Works from any thread and before the event loop runs.
void requestQuit();

// True once a quit was requested; dialogs opened afterwards close at once.
bool isQuitPending();

} // namespace updater
