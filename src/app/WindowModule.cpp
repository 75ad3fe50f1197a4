#include "app/WindowModule.h"

#include "app/WindowEntry.h"

#include <cstdio>
#include <dlfcn.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace updater {

namespace {

// Empty when it cannot be told. Never the current folder: that is the game folder, where patches
// write, and no code may be loaded from it.
std::string programFolder()
{
    std::vector<char> path(4096);
    const ssize_t size = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (size <= 0)
        return {};
    const std::string program(path.data(), static_cast<size_t>(size));
    const auto slash = program.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string() : program.substr(0, slash);
}

} // namespace

int runWindowFromModule(int& argc, char** argv, const char* usage)
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
        if (::access(path.c_str(), F_OK) != 0) {
            errors += "\n  " + path + ": not there";
            continue;
        }
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            errors += std::string("\n  ") + ::dlerror();
            continue;
        }
        const auto entry = reinterpret_cast<WindowEntry>(::dlsym(module, WindowEntryName));
        if (entry)
            return entry(&argc, argv, usage);
        errors += "\n  " + path + ": no " + WindowEntryName;
    }
    std::fprintf(stderr,
                 "tarvo-updater: the window module %s cannot be loaded:%s\n"
                 "(--update-only works without it)\n",
                 WindowModuleFile, errors.c_str());
    return 1;
}

} // namespace updater
