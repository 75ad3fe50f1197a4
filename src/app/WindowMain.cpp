#include "app/CommandLine.h"
#include "app/Dialogs.h"
#include "app/LauncherProcess.h"
#include "app/Messages.h"
#include "app/QuitRequest.h"
#include "app/UpdaterApplication.h"
#include "app/UpdaterWindow.h"
#include "app/WindowEntry.h"
#include "platform/EventLog.h"
#include "platform/ProcessInfo.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

using namespace updater;

// The window mode, entered from the program's main() once it is clear that a window is wanted.
extern "C" __attribute__((visibility("default"))) int tarvoUpdaterWindowMain(int* argc, char** argv)
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
    // Qt has taken its own options (-style, --platform, ...): only what it does not know is left.
    if (const std::string refusal = refusalOfLeftOptions(*argc, argv); !refusal.empty()) {
        std::fputs(refusal.c_str(), stderr);
        return 2;
    }
    LauncherProcess process;
    // Logging out or a service manager ends the launcher like a quit: transfers stop cleanly.
    QObject::connect(&process.termination(), &TerminationRequest::received, &app, [] { requestQuit(); });

    if (const std::optional<std::string> refusal = process.start()) {
        messageBox(*refusal, "Alert", DialogIcon::Stop);
        return 0;
    }
    std::unique_ptr<UpdaterWindow> window;
    try {
        window = std::make_unique<UpdaterWindow>();
    } catch (const std::exception& error) {
        // In the log before the box: a player who closes it still has what to send the community.
        logEvent(std::string("start-up failed: ") + error.what());
        showErrorBox(error.what());
        return 0;
    }
    window->show();
    app.exec();
    // A worker stuck in a call that cannot be interrupted (a host look-up) keeps the window it
    // reports to; the process ends around it.
    if (!window->stopWorkers())
        (void)window.release();
    return 0;
}
