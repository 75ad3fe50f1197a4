#include "patchtool/platform/FolderEntries.h"

#include <algorithm>
#include <filesystem>

namespace patchtool {

namespace {

std::vector<std::string> entriesIn(const std::string& folder, std::filesystem::file_type type)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.symlink_status(error).type() == type)
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

std::vector<std::string> regularFilesIn(const std::string& folder)
{
    return entriesIn(folder, std::filesystem::file_type::regular);
}

std::vector<std::string> linksIn(const std::string& folder)
{
    return entriesIn(folder, std::filesystem::file_type::symlink);
}

bool folderIsEmpty(const std::string& folder)
{
    std::error_code error;
    const std::filesystem::directory_iterator entries(folder, error);
    return !error && entries == std::filesystem::directory_iterator();
}

} // namespace patchtool
