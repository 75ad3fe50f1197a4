#include "app/Dialogs.h"
#include "app/LauncherProcess.h"
#include "app/Messages.h"
#include "app/QuitRequest.h"
#include "app/UpdaterApplication.h"
#include "app/UpdaterWindow.h"
#include "app/WindowEntry.h"
#include "platform/ProcessInfo.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

using namespace updater;

namespace {

// Runs once the application has taken its own options (-style, --platform, ...) out of argv,
// so that only what Qt does not know is refused.
bool onlyKnownOptionsLeft(int argc, char** argv, const char* usage)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], BrowserArgumentsMarker) != 0; ++i) {
        if (std::strncmp(argv[i], "--", 2) == 0) {
            std::fprintf(stderr, "tarvo-updater: unknown option %s\n\n%s", argv[i], usage);
            return false;
        }
    }
    return true;
}

} // namespace

// The window mode, entered from the program's main() once it is clear that a window is wanted.
extern "C" __attribute__((visibility("default"))) int tarvoUpdaterWindowMain(int* argc, char** argv,
                                                                             const char* usage)
{
    static_assert(std::is_same_v<decltype(&tarvoUpdaterWindowMain), WindowEntry>);
    LauncherProcess::readLocale();
    // The FFmpeg media backend plays and reports broken files without extra packages.
    if (!qEnvironmentVariableIsSet("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    // The browser engine refuses to start as root with its sandbox on.
    if (runsAsAdministrator() && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    UpdaterApplication app(*argc, argv);
    if (!onlyKnownOptionsLeft(*argc, argv, usage))
        return 2;
    LauncherProcess process;
    // Logging out or a service manager ends the launcher like a quit: transfers stop cleanly.
    QObject::connect(&process.termination(), &TerminationRequest::received, &app, [] { requestQuit(); });

    if (const auto refusal = process.takeLocks(); refusal != LauncherProcess::LockRefusal::None) {
        messageBox(process.refusalText(refusal), "Alert", DialogIcon::Stop);
        return 0;
    }
    std::unique_ptr<UpdaterWindow> window;
    try {
        window = std::make_unique<UpdaterWindow>();
    } catch (const std::exception& error) {
        showErrorBox(error.what());
        return 0;
    }
    process.logLockNotes();
    window->show();
    app.exec();
    // A worker stuck in a call that cannot be interrupted (a host look-up) keeps the window it
    // reports to; the process ends around it.
    if (!window->stopWorkers())
        (void)window.release();
    return 0;
}
