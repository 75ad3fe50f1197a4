#include "patchtool/platform/ScratchFolder.h"

#include "platform/FileOps.h"
#include "platform/UpdaterError.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace patchtool {

namespace {

// Scratch folders of this user's processes that were killed before they could remove theirs: the
// folder's name carries its process's id.
void removeLeftBehind(const std::filesystem::path& temporary, const std::string& prefix)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(temporary, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(prefix + "-"))
            continue;
        const long pid = std::strtol(name.c_str() + prefix.size() + 1, nullptr, 10);
        struct stat status
        {
        };
        if (pid <= 0 || ::lstat(entry.path().c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
            status.st_uid != ::getuid())
            continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
            continue;
        updater::removeTree(entry.path().string());
    }
}

} // namespace

ScratchFolder::ScratchFolder(const std::string& prefix)
{
    const std::filesystem::path temporary = std::filesystem::temp_directory_path();
    removeLeftBehind(temporary, prefix);
    std::string pattern = (temporary / (prefix + "-" + std::to_string(::getpid()) + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw updater::UpdaterError("cannot create a temporary folder");
    m_path = pattern;
}

ScratchFolder::~ScratchFolder()
{
    updater::removeTree(m_path);
}

} // namespace patchtool
