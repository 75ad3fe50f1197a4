#include "platform/ProcessInfo.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace updater {

bool enterFolder(const std::string& folder, std::string& reason)
{
    if (::chdir(folder.c_str()) == 0)
        return true;
    reason = std::strerror(errno);
    return false;
}

bool standardErrorIsTerminal()
{
    return ::isatty(2) == 1;
}

bool runsAsAdministrator()
{
    return ::geteuid() == 0;
}

} // namespace updater
