#pragma once

#include <functional>

namespace updater {

// Runs `call` on the window thread and waits for it; runs it at once when already there.
// Exceptions thrown by `call` reach the caller.
void runOnWindowThread(const std::function<void()>& call);

// Hands `call` to the window thread's event loop and returns at once.
void postToWindowThread(std::function<void()> call);

bool isWindowThread();

} // namespace updater
