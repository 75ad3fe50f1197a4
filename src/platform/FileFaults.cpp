#include "platform/FileFaults.h"

#include "platform/TestHooks.h"

#include <mutex>

namespace updater {

namespace {

std::mutex faultMutex;
std::optional<InjectedFileFault> injected;

} // namespace

void injectFileFault(std::optional<InjectedFileFault> fault)
{
    const std::lock_guard lock(faultMutex);
    injected = std::move(fault);
}

bool fileFaultApplies(FileFault fault, const std::string& path)
{
    const std::lock_guard lock(faultMutex);
    return injected && injected->fault == fault && path.starts_with(injected->folder + "/");
}

} // namespace updater
