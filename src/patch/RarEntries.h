#pragma once

#include <dll.hpp>

#include <cstring>
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

// Reads the archive's entry headers in turn and hands each to `visit`, which deals with the entry
// (processes or skips it) and returns false to stop. Returns the library's code of the header read
// last: ERAR_END_ARCHIVE after the last entry, ERAR_SUCCESS when `visit` stopped, another code when
// a header could not be read.
template <typename Visit> int readEntries(HANDLE archive, Visit visit)
{
    auto header = std::make_unique<RARHeaderDataEx>(); // some 15 KiB, kept off the stack
    for (;;) {
        std::memset(header.get(), 0, sizeof *header);
        const int result = RARReadHeaderEx(archive, header.get());
        if (result != ERAR_SUCCESS || !visit(static_cast<const RARHeaderDataEx&>(*header)))
            return result;
    }
}

} // namespace updater
