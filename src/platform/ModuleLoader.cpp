#include "platform/ModuleLoader.h"

#include <dlfcn.h>
#include <unistd.h>
#include <vector>

namespace updater {

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

void* loadModuleSymbol(const std::string& path, const char* symbol, std::string& error)
{
    if (::access(path.c_str(), F_OK) != 0) {
        error = path + ": not there";
        return nullptr;
    }
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        error = ::dlerror();
        return nullptr;
    }
    void* address = ::dlsym(module, symbol);
    if (!address)
        error = path + ": no " + symbol;
    return address;
}

} // namespace updater
