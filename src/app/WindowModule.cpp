#include "app/WindowModule.h"

#include "app/WindowEntry.h"
#include "platform/ModuleLoader.h"

#include <cstdio>
#include <string>

namespace updater {

int runWindowFromModule(int& argc, char** argv)
{
    // Installed: <prefix>/lib/tarvo-updater/ beside <prefix>/bin/; built: beside the program.
    const std::string folder = programFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "tarvo-updater: cannot tell where the program lies (is /proc mounted?), so "
                             "the window module cannot be found\n");
        return 1;
    }
    std::string errors;
    for (const std::string& path :
         {folder + "/../lib/tarvo-updater/" + WindowModuleFile, folder + "/" + WindowModuleFile}) {
        std::string error;
        if (const auto entry = reinterpret_cast<WindowEntry>(loadModuleSymbol(path, WindowEntryName, error)))
            return entry(&argc, argv);
        errors += "\n  " + error;
    }
    std::fprintf(stderr,
                 "tarvo-updater: the window module %s cannot be loaded:%s\n"
                 "(--update-only works without it)\n",
                 WindowModuleFile, errors.c_str());
    return 1;
}

} // namespace updater
