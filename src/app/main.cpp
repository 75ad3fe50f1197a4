#include "app/Dialogs.h"
#include "app/HeadlessUpdate.h"
#include "app/Messages.h"
#include "app/QuitRequest.h"
#include "app/UpdaterApplication.h"
#include "app/UpdaterWindow.h"
#include "platform/InstanceLock.h"
#include "platform/TerminationRequest.h"
#include "platform/TimeZone.h"
#include "platform/Utf8Locale.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <unistd.h>

namespace {

constexpr char usage[] = R"(Usage: tarvo-updater [--version | --help] [Qt options, such as -style NAME]
       tarvo-updater --update-only [--game-dir DIR]

The launcher and patcher of a community-run online role-playing game: it brings the game
folder up to date from the community's patch list, shows the game servers and starts the
game client. Start it in the game folder (the folder that holds Tarvo-Updater/updater4.cfg):
the folder it is started in is the game folder.

Options:
  --version       print the version and end
  --help          print this help and end
  --update-only   bring the game folder up to date without a window and end: progress and
                  notices go to standard error; exit status 0 when every patch is applied
  --game-dir DIR  the game folder for --update-only (default: the current folder)

Environment (read once at start):
  UPDATER_DIALOG_LOG=<file>         every dialog, when it closes, appends one JSON line
  UPDATER_DIALOG_ANSWERS=<a,b,...>  no dialog waits: each takes the next answer (OK, Yes,
                                    No), then its default button once the list is used up
  UPDATER_AUTOSTART_SERVER=1|2      press that server's start button once it is usable
  UPDATER_EXIT_AFTER_UPDATE=1       end as soon as the update run is over
  UPDATER_PRETEND_OFFLINE=1         the on-line check answers "not connected"
  WINE=<program>                    the Wine program that starts Windows game clients
)";

// Everything after this marker belongs to the browser engine.
constexpr char browserArgumentsMarker[] = "--webEngineArgs";

// --version and --help answer before anything needs a display, a lock or a window.
bool printedInformation(int argc, char** argv)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], browserArgumentsMarker) != 0; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tarvo-updater %s\n", UPDATER_VERSION);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(usage, stdout);
            return true;
        }
    }
    return false;
}

// Runs once the application has taken its own options (-style, --platform, ...) out of argv,
// so that only what Qt does not know is refused.
bool onlyKnownOptionsLeft(int argc, char** argv)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], browserArgumentsMarker) != 0; ++i) {
        if (std::strncmp(argv[i], "--", 2) == 0) {
            std::fprintf(stderr, "tarvo-updater: unknown option %s\n\n%s", argv[i], usage);
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace updater;
    if (printedInformation(argc, argv))
        return 0;
    readTimeZoneOnce();
    // Decided before the application object exists: this mode must not look for a display.
    if (wantsHeadlessUpdate(argc, argv))
        return runHeadlessUpdate(argc, argv);
    std::setlocale(LC_ALL, "");
    // The FFmpeg media backend plays and reports broken files without extra packages.
    if (!qEnvironmentVariableIsSet("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    // The browser engine refuses to start as root with its sandbox on.
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    UpdaterApplication app(argc, argv);
    if (!onlyKnownOptionsLeft(argc, argv))
        return 2;
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
