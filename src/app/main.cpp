#include "app/Dialogs.h"
#include "app/Messages.h"
#include "app/QuitRequest.h"
#include "app/UpdaterApplication.h"
#include "app/UpdaterWindow.h"
#include "platform/InstanceLock.h"
#include "platform/TerminationRequest.h"
#include "platform/Utf8Locale.h"

#include <clocale>
#include <exception>
#include <memory>
#include <unistd.h>

int main(int argc, char** argv)
{
    using namespace updater;
    std::setlocale(LC_ALL, "");
    // The FFmpeg media backend plays and reports broken files without extra packages.
    if (!qEnvironmentVariableIsSet("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    // The browser engine refuses to start as root with its sandbox on.
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    UpdaterApplication app(argc, argv);
    useUtf8CharacterType();
    // Logging out or a service manager ends the launcher like a quit: transfers stop cleanly.
    TerminationRequest termination;
    QObject::connect(&termination, &TerminationRequest::received, &app, [] { requestQuit(); });

    InstanceLock lock;
    if (!lock.acquire()) {
        messageBox(messages::alreadyRunning(), "Alert", DialogIcon::Stop);
        return 0;
    }
    std::unique_ptr<UpdaterWindow> window;
    try {
        window = std::make_unique<UpdaterWindow>();
    } catch (const std::exception& error) {
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
