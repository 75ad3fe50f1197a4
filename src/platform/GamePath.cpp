#include "platform/GamePath.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

namespace updater {

namespace {

std::string findEntry(const std::string& folder, const std::string& name)
{
    const std::string where = folder.empty() ? "." : folder;
    struct stat st;
    if (::lstat((where + "/" + name).c_str(), &st) == 0)
        return name;
    DIR* dir = ::opendir(where.c_str());
    if (!dir)
        return name;
    std::string found = name;
    while (dirent* entry = ::readdir(dir)) {
        if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

} // namespace

std::string resolveGamePath(const std::string& windowsPath)
{
    std::string path = windowsPath;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    std::string result;
    if (!path.empty() && path.front() == '/')
        result = "/";
    size_t pos = 0;
    while (pos <= path.size()) {
        const size_t next = path.find('/', pos);
        const std::string part = path.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
        if (!part.empty()) {
            const std::string folder = result;
            const std::string name = (part == "." || part == "..") ? part : findEntry(folder, part);
            if (!result.empty() && result.back() != '/')
                result += '/';
            result += name;
        }
        if (next == std::string::npos)
            break;
        pos = next + 1;
    }
    if (!path.empty() && path.back() == '/' && (result.empty() || result.back() != '/'))
        result += '/';
    return result;
}

std::string updaterFolderPath(const std::string& fileName)
{
    return "Tarvo-Updater\\" + fileName;
}

} // namespace updater
