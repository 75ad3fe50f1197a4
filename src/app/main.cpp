#include "app/CommandLine.h"
#include "app/HeadlessUpdate.h"
#include "app/WindowEntry.h"
#include "app/WindowModule.h"
#include "platform/TimeZone.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

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
    // --version and --help answer before anything needs a display, a lock or a window.
    const CommandLine line = readCommandLine(argc, argv);
    if (line.mode == CommandLine::Mode::Version) {
        std::printf("tarvo-updater %s\n", UPDATER_VERSION);
        return 0;
    }
    if (line.mode == CommandLine::Mode::Help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (!line.refusal.empty()) {
        std::fputs(line.refusal.c_str(), stderr);
        return 2;
    }
    readTimeZoneOnce();
    // Decided before the application object exists: these modes must not look for a display.
    if (line.headless())
        return runHeadless(line, argc, argv);
    if (!displayAvailable(argc, argv)) {
        std::fputs("tarvo-updater: there is no display to show the window on.\n"
                   "To bring the game folder up to date without one: "
                   "tarvo-updater --update-only [--game-dir DIR]\n",
                   stderr);
        return 2;
    }
    return runWindowFromModule(argc, argv);
}
