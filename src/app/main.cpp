#include "app/HeadlessUpdate.h"
#include "app/WindowEntry.h"
#include "app/WindowModule.h"
#include "platform/TimeZone.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

constexpr char usage[] = R"(Usage: tarvo-updater [--version | --help] [Qt options, such as -style NAME]
       tarvo-updater --update-only [--game-dir DIR]
       tarvo-updater --verify | --repair [--game-dir DIR]

The launcher and patcher of a community-run online role-playing game: it brings the game
folder up to date from the community's patch list, shows the game servers and starts the
game client. Start it in the game folder (the folder that holds Tarvo-Updater/updater4.cfg):
the folder it is started in is the game folder.

Options:
  -v, --version   print the version and end
  -h, --help      print this help and end
  --update-only   bring the game folder up to date without a window and end: progress and
                  notices go to standard error; exit status 0 when every patch is applied
  --verify        compare the game folder with the record of the files the patches installed,
                  without a window: every missing or changed file is printed with the slot
                  that brought it, writing nothing; exit status 0 when the record is whole
                  and all match, 1 otherwise
  --repair        as --verify, then download again only the archives that wrote a damaged
                  file and write only those files; exit status 0 when the folder then matches
  --game-dir DIR  the game folder for --update-only, --verify and --repair (default: the
                  current folder)

Environment (read once at start):
  UPDATER_DIALOG_LOG=<file>         every dialog, when it closes, appends one JSON line
  UPDATER_DIALOG_ANSWERS=<a,b,...>  no dialog waits: each takes the next answer (OK, Yes,
                                    No), then its default button once the list is used up
  UPDATER_AUTOSTART_SERVER=1|2      press that server's start button once it is usable
  UPDATER_EXIT_AFTER_UPDATE=1       end as soon as the update run is over
  UPDATER_PRETEND_OFFLINE=1         the on-line check answers "not connected"
  WINE=<program>                    the Wine program that starts Windows game clients
)";

// --version and --help answer before anything needs a display, a lock or a window.
bool printedInformation(int argc, char** argv)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], updater::BrowserArgumentsMarker) != 0; ++i) {
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            std::printf("tarvo-updater %s\n", UPDATER_VERSION);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return true;
        }
    }
    return false;
}

// Whether the window has somewhere to go: a display in the environment, or a platform named for Qt.
// Without one, Qt would end the program with an abort.
bool displayAvailable(int argc, char** argv)
{
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* value = std::getenv(variable); value && *value)
            return true;
    for (int i = 1; i < argc && std::strcmp(argv[i], updater::BrowserArgumentsMarker) != 0; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    return false;
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
    if (!displayAvailable(argc, argv)) {
        std::fputs("tarvo-updater: there is no display to show the window on.\n"
                   "To bring the game folder up to date without one: "
                   "tarvo-updater --update-only [--game-dir DIR]\n",
                   stderr);
        return 2;
    }
    return runWindowFromModule(argc, argv, usage);
}
