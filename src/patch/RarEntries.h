#pragma once

#include <dll.hpp>

#include <memory>
#include <sys/stat.h>

namespace updater {

// Closes an archive handle of the UnRAR library when it goes out of scope.
struct RarArchiveCloser
{
    void operator()(void* handle) const { RARCloseArchive(handle); }
};
using RarArchive = std::unique_ptr<void, RarArchiveCloser>;

// A link entry (symbolic or hard, of any host); the launcher never writes one.
inline bool isLinkEntry(const RARHeaderDataEx& header)
{
    constexpr unsigned UnixHost = 3;
    return header.RedirType != 0 || (header.HostOS == UnixHost && S_ISLNK(header.FileAttr));
}

} // namespace updater
