#include "platform/SystemInfo.h"

#include "platform/FileOps.h"

#include <filesystem>
#include <sys/utsname.h>

namespace updater {

namespace {

// PRETTY_NAME of os-release, quotes removed; empty when there is none.
std::string distributionName()
{
    std::string text;
    if (readOwnFile("/etc/os-release", text, 64 * 1024) != OwnFileRead::Read &&
        readOwnFile("/usr/lib/os-release", text, 64 * 1024) != OwnFileRead::Read)
        return {};
    const std::string key = "PRETTY_NAME=";
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        std::string line = text.substr(at, end - at);
        if (line.rfind(key, 0) == 0) {
            line = line.substr(key.size());
            if (line.size() >= 2 && (line.front() == '"' || line.front() == '\'') &&
                line.back() == line.front())
                line = line.substr(1, line.size() - 2);
            return line;
        }
        at = end + 1;
    }
    return {};
}

} // namespace

std::string systemDescription()
{
    std::string description = distributionName();
    utsname names{};
    if (::uname(&names) == 0)
        description += (description.empty() ? "" : ", ") + std::string(names.sysname) + " " + names.release;
    return description.empty() ? "unknown" : description;
}

std::string gameFolderPath()
{
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? "unknown" : folder.string();
}

} // namespace updater
