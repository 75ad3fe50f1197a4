#pragma once

#include <string>

namespace updater {

// Faults a test injects (platform/TestHooks.h), so that an unwritable file and a full disk can be
// met by any user, root included: below a folder, the check for write access answers no
// (WritesDenied), or every write fails as on a full disk (DiskFull), or a file lock is refused as
// on a file system without locks (LocksUnsupported). Nothing is injected unless a test asks.
enum class FileFault { WritesDenied, DiskFull, LocksUnsupported };

// For platform/'s own file code: whether `path` lies below the injected fault's folder.
bool fileFaultApplies(FileFault fault, const std::string& path);

} // namespace updater
