#include "app/QuitRequest.h"

#include "app/TestHooks.h"

#include "app/WindowThread.h"

#include <QCoreApplication>

#include <atomic>

namespace updater {

namespace {
std::atomic<bool> quitPending{false};
}

void requestQuit()
{
    quitPending = true;
    // exit() rather than quit(): quit() would first ask every window to close, and the main
    // window's close question is not part of ending the application this way.
    postToWindowThread([] { QCoreApplication::exit(0); });
}

bool isQuitPending()
{
    return quitPending;
}

void resetQuitRequest()
{
    quitPending = false;
}

} // namespace updater
