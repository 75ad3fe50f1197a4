#include "patch/ArchiveEntryPath.h"

#include "platform/GamePath.h"

#include <cctype>
#include <cerrno>
#include <sys/stat.h>

namespace updater {

namespace {

bool isUnsafeName(const std::string& name)
{
    if (name.empty() || name.front() == '/')
        return true;
    if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':')
        return true;
    size_t pos = 0;
    while (pos <= name.size()) {
        size_t next = name.find('/', pos);
        if (next == std::string::npos)
            next = name.size();
        if (name.compare(pos, next - pos, "..") == 0)
            return true;
        pos = next + 1;
    }
    return false;
}

} // namespace

std::optional<std::string> entryDestination(const std::string& storedName, GamePathResolver& resolver)
{
    std::string name = storedName;
    for (char& c : name)
        if (c == '\\')
            c = '/';
    if (isUnsafeName(name))
        return std::nullopt;
    std::string resolved = resolver.resolve(name);
    while (resolved.size() > 1 && resolved.back() == '/')
        resolved.pop_back();
    return resolved;
}

void noteEntryWritten(const std::string& destination, GamePathResolver& resolver)
{
    for (size_t slash = destination.find('/'); slash != std::string::npos;
         slash = destination.find('/', slash + 1))
        resolver.noteCreated(destination.substr(0, slash));
    resolver.noteCreated(destination);
}

bool passesThroughLink(const std::string& path)
{
    for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        struct stat st;
        if (::lstat(path.substr(0, slash).c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            return true;
    }
    return false;
}

bool makeFolders(const std::string& path)
{
    for (size_t end = 0; end != std::string::npos;) {
        end = path.find('/', end + 1);
        const std::string folder = path.substr(0, end);
        if (folder.empty() || folder == ".")
            continue;
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        struct stat st;
        if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return false;
    }
    return true;
}

} // namespace updater
