#pragma once

#include <optional>
#include <string>

namespace updater {

// A seam for tests, so that an unwritable file and a full disk can be met by any user, root
// included: below `folder`, the check for write access answers no (WritesDenied), or every write
// fails as on a full disk (DiskFull), or a file lock is refused as on a file system without
// locks (LocksUnsupported). Nothing is injected unless a test asks.
enum class FileFault { WritesDenied, DiskFull, LocksUnsupported };

struct InjectedFileFault
{
    FileFault fault;
    std::string folder;
};

void injectFileFault(std::optional<InjectedFileFault> fault);

// For platform/'s own file code: whether `path` lies below the injected fault's folder.
bool fileFaultApplies(FileFault fault, const std::string& path);

} // namespace updater
