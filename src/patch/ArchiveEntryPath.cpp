#include "patch/ArchiveEntryPath.h"

#include "config/Configuration.h"
#include "patch/InstalledFiles.h"
#include "patch/PatchLists.h"
#include "platform/FileOps.h"
#include "platform/PathText.h"
#include "trust/CommunityKey.h"

#include <cctype>
#include <filesystem>

namespace updater {

namespace {

std::string withSlashes(std::string name)
{
    for (char& c : name)
        if (c == '\\')
            c = '/';
    return name;
}

bool reachesOutside(const std::string& name)
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

std::optional<std::string> launcherOwnFile(const std::string& storedName)
{
    std::string name = withSlashes(storedName);
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    const std::string normal = lowerAscii(std::filesystem::path(name).lexically_normal().string());
    const std::string own[] = {
        updaterFolderPath("patchlist.pub"), // the key decides what counts as genuine
        appliedRecordPath(),
        installedFilesPath(),
        patchListPath(),
        signatureAddress(patchListPath()),
        signatureAddress(configFilePath()),
        updaterFolderPath("updater.log"),
        updaterFolderPath("updater.log.1"),
        updaterFolderPath("downloads"),
        updaterFolderPath("updater.lock"),
    };
    for (const std::string& file : own) {
        const std::string ownName = lowerAscii(withSlashes(file));
        if (normal == ownName || normal.starts_with(ownName + "/"))
            return file;
    }
    return std::nullopt;
}

bool isUnsafeEntryName(const std::string& storedName)
{
    const std::string name = withSlashes(storedName);
    return reachesOutside(name) || launcherOwnFile(name).has_value();
}

std::optional<std::string> EntryTargets::destination(const std::string& storedName)
{
    const std::string name = withSlashes(storedName);
    if (isUnsafeEntryName(name))
        return std::nullopt;
    std::string resolved = m_resolver.resolve(name);
    while (resolved.size() > 1 && resolved.back() == '/')
        resolved.pop_back();
    return resolved;
}

bool EntryTargets::prepareFolders(const std::string& folderPath)
{
    for (size_t end = 0; end != std::string::npos;) {
        end = folderPath.find('/', end + 1);
        const std::string folder = folderPath.substr(0, end);
        if (folder.empty() || folder == "." || m_readyFolders.count(folder))
            continue;
        const FolderMade made = makeFolder(folder);
        if (made == FolderMade::Failed)
            return false;
        if (made == FolderMade::Created)
            m_resolver.noteNewFolder(folder);
        else
            m_resolver.noteCreated(folder);
        m_readyFolders.insert(folder);
    }
    return true;
}

void EntryTargets::noteWritten(const std::string& path)
{
    m_resolver.noteCreated(path);
}

} // namespace updater
