#pragma once

#include <string>
#include <vector>

namespace patchtool {

// The names of the regular files in a folder (links not followed, so not listed), in byte order;
// empty when the folder cannot be read.
std::vector<std::string> regularFilesIn(const std::string& folder);
// The names of the symbolic links in a folder, in byte order.
std::vector<std::string> linksIn(const std::string& folder);
// Whether a folder holds no entry of any kind (false when it cannot be read).
bool folderIsEmpty(const std::string& folder);

} // namespace patchtool
