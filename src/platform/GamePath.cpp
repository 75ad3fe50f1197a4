#include "platform/GamePath.h"

#include "platform/PathText.h"

#include <dirent.h>
#include <sys/stat.h>

namespace updater {

namespace {

std::string folderKey(const std::string& folder)
{
    return folder.empty() ? std::string(".") : folder;
}

} // namespace

GamePathResolver::Listing& GamePathResolver::listing(const std::string& folder)
{
    const std::string key = folderKey(folder);
    auto it = m_listings.find(key);
    if (it != m_listings.end())
        return it->second;
    Listing names;
    if (DIR* dir = ::opendir(key.c_str())) {
        while (dirent* entry = ::readdir(dir))
            names.emplace(lowerAscii(entry->d_name), entry->d_name); // the first spelling found wins
        ::closedir(dir);
    }
    return m_listings.emplace(key, std::move(names)).first->second;
}

std::string GamePathResolver::findEntry(const std::string& folder, const std::string& name)
{
    // A folder already read answers without asking the disk again: it holds what it held then and
    // what the caller created since. Only a name it holds in another spelling needs a look, since
    // an exact spelling on disk wins.
    if (const auto cached = m_listings.find(folderKey(folder)); cached != m_listings.end()) {
        const auto it = cached->second.find(lowerAscii(name));
        if (it == cached->second.end() || it->second == name)
            return name;
    }
    struct stat st;
    if (::lstat((folderKey(folder) + "/" + name).c_str(), &st) == 0)
        return name;
    const Listing& names = listing(folder);
    const auto it = names.find(lowerAscii(name));
    return it == names.end() ? name : it->second;
}

void GamePathResolver::noteCreated(const std::string& resolvedPath)
{
    const auto slash = resolvedPath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : resolvedPath.substr(0, slash);
    const std::string name = slash == std::string::npos ? resolvedPath : resolvedPath.substr(slash + 1);
    const auto it = m_listings.find(folderKey(folder));
    if (it != m_listings.end() && !name.empty())
        it->second.emplace(lowerAscii(name), name);
}

void GamePathResolver::noteNewFolder(const std::string& resolvedPath)
{
    noteCreated(resolvedPath);
    m_listings.emplace(folderKey(resolvedPath), Listing());
}

std::string GamePathResolver::resolve(const std::string& windowsPath)
{
    std::string path = windowsPath;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    std::string result;
    if (!path.empty() && path.front() == '/')
        result.assign(1, '/');
    size_t pos = 0;
    while (pos <= path.size()) {
        const size_t next = path.find('/', pos);
        const std::string part = path.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
        if (!part.empty()) {
            const std::string name = (part == "." || part == "..") ? part : findEntry(result, part);
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

std::string resolveGamePath(const std::string& windowsPath)
{
    return GamePathResolver().resolve(windowsPath);
}

std::string updaterFolderPath(const std::string& fileName)
{
    return "Tarvo-Updater\\" + fileName;
}

} // namespace updater
