#include "platform/QuitRequest.h"

#include "platform/WindowThread.h"

#include <QCoreApplication>

#include <atomic>

namespace updater {

namespace {
std::atomic<bool> quitPending{false};
}

void requestQuit()
{
    quitPending = true;
    postToWindowThread([] { QCoreApplication::quit(); });
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
