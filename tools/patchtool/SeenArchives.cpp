#include "SeenArchives.h"

#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/PathText.h"
#include "platform/UserFolders.h"

#include <chrono>
#include <exception>
#include <filesystem>

namespace patchtool {

namespace {

constexpr uint64_t LargestMemory = 16 * 1024 * 1024;

} // namespace

SeenArchives::SeenArchives() : m_path(updater::userCacheFolder("tarvo-patchtool") + "/checked-archives")
{
    std::string text;
    if (updater::readOwnFile(m_path, text, LargestMemory) != updater::OwnFileRead::Read)
        return;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        if (end > at)
            m_entries.insert(text.substr(at, end - at));
        at = end + 1;
    }
}

std::string SeenArchives::fromAddress(const std::string& address, const std::string& integrity)
{
    return address + "\t" + integrity;
}

std::string SeenArchives::fromFile(const std::string& path, const std::string& integrity)
{
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(path, error).string();
    const auto changed = std::filesystem::last_write_time(path, error);
    const auto stamp = error ? 0 : changed.time_since_epoch().count();
    return "file:" + absolute + "\t" + integrity + "\t" + std::to_string(stamp);
}

void SeenArchives::add(const std::string& entry)
{
    // Addresses and paths with a line break cannot be kept in this file's lines.
    if (entry.find('\n') == std::string::npos && m_entries.insert(entry).second)
        m_changed = true;
}

void SeenArchives::save() const
{
    if (!m_changed)
        return;
    std::string text;
    for (const std::string& entry : m_entries)
        text += entry + "\n";
    try {
        updater::makeMissingFolders(updater::folderOf(m_path));
        updater::writeFileAtomically(m_path, text);
    } catch (const std::exception&) {
    }
}

} // namespace patchtool
