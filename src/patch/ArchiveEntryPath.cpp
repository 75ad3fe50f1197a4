#include "patch/ArchiveEntryPath.h"

#include "config/Configuration.h"
#include "patch/InstalledFiles.h"
#include "patch/PatchLists.h"
#include "patch/StagedSlot.h"
#include "platform/FileOps.h"
#include "platform/PathText.h"
#include "trust/CommunityKey.h"

#include <cctype>
#include <filesystem>
#include <vector>

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

namespace {

struct OwnFile
{
    std::string name;     // as the launcher names it
    std::string compared; // lower case, with '/'
};

// Made once: every entry of every archive is compared with them.
const std::vector<OwnFile>& ownFiles()
{
    static const std::vector<OwnFile> files = [] {
        std::vector<OwnFile> list;
        for (std::string file : {
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
                 stagingFolderPath(),
                 slotJournalPath(),
             })
            list.push_back({file, lowerAscii(withSlashes(file))});
        return list;
    }();
    return files;
}

} // namespace

std::optional<std::string> launcherOwnFile(const std::string& storedName)
{
    // Every one of them lies in the launcher's folder, whose name no normalising can make up: a
    // name that does not hold it is none of them, without the cost of normalising it.
    static const std::string folder = folderOf(ownFiles().front().compared);
    std::string name = lowerAscii(withSlashes(storedName));
    if (name.find(folder) == std::string::npos)
        return std::nullopt;
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    const std::string normal = std::filesystem::path(name).lexically_normal().string();
    for (const OwnFile& file : ownFiles())
        if (normal == file.compared || normal.starts_with(file.compared + "/"))
            return file.name;
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

bool EntryTargets::planFolders(const std::string& folderPath)
{
    bool missing = false; // below a missing folder, every folder is missing
    for (size_t end = 0; end != std::string::npos;) {
        end = folderPath.find('/', end + 1);
        const std::string folder = folderPath.substr(0, end);
        if (folder.empty() || folder == "." || m_folders.count(folder))
            continue;
        if (m_files.count(folder))
            return false;
        if (!missing) {
            const EntryKind kind = entryKind(folder);
            if (kind != EntryKind::Folder && kind != EntryKind::Nothing)
                return false;
            missing = kind == EntryKind::Nothing;
        }
        if (missing)
            m_resolver.noteNewFolder(folder);
        else
            m_resolver.noteCreated(folder);
        m_folders.insert(folder);
    }
    return true;
}

bool EntryTargets::planFile(const std::string& path)
{
    if (m_folders.count(path))
        return false;
    const EntryKind kind = entryKind(path);
    if (kind != EntryKind::Nothing && kind != EntryKind::RegularFile && kind != EntryKind::Link)
        return false;
    m_files.insert(path);
    m_resolver.noteCreated(path);
    return true;
}

bool EntryTargets::passesThroughLink(const std::string& path)
{
    for (size_t end = path.find('/'); end != std::string::npos; end = path.find('/', end + 1)) {
        const std::string folder = path.substr(0, end);
        if (m_realFolders.contains(folder))
            continue;
        const EntryKind kind = entryKind(folder);
        if (kind == EntryKind::Nothing)
            return false; // nothing beyond it either
        if (kind != EntryKind::Folder)
            return true;
        m_realFolders.insert(folder);
    }
    return false;
}

} // namespace updater
