#include "app/UpdaterWindow.h"
#include "app/UpdaterApplication.h"
#include "platform/DialogService.h"
#include "platform/InstanceLock.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
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

    InstanceLock lock;
    if (!lock.acquire()) {
        messageBox("-= Updater is already running! =-\n\nYou're trying to start it twice ...", "Alert",
                   DialogIcon::Stop);
        return 0;
    }
    try {
        auto* form = new UpdaterWindow;
        form->show();
        app.exec();
    } catch (const std::exception& error) {
        showErrorBox(error.what());
        return 0;
    }
    // The update worker and the monitors are never stopped or waited for: they end with the
    // process, so the window they talk to is never torn down under them.
    std::fflush(nullptr);
    std::_Exit(0);
}
