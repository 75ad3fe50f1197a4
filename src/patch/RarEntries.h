#pragma once

#include <dll.hpp>

#include <cstring>
#include <memory>
#include <string>

namespace updater {

// Closes an archive handle of the UnRAR library when it goes out of scope.
struct RarArchiveCloser
{
    void operator()(void* handle) const { RARCloseArchive(handle); }
};
using RarArchive = std::unique_ptr<void, RarArchiveCloser>;

// The archive opened for reading its entry headers only; null when the library cannot open it.
inline RarArchive openArchiveToList(const std::string& archivePath)
{
    std::string path = archivePath;
    RAROpenArchiveDataEx request;
    std::memset(&request, 0, sizeof request);
    request.ArcName = path.data();
    request.OpenMode = RAR_OM_LIST;
    RarArchive archive(RAROpenArchiveEx(&request));
    return request.OpenResult == ERAR_SUCCESS ? std::move(archive) : nullptr;
}

// A link entry (symbolic or hard, of any host); the launcher never writes one.
inline bool isLinkEntry(const RARHeaderDataEx& header)
{
    // An archive made on a Unix host stores the file's mode, whose type bits say "link" the same
    // way on every platform that reads it.
    constexpr unsigned UnixHost = 3, UnixTypeBits = 0170000, UnixLinkType = 0120000;
    return header.RedirType != 0 ||
           (header.HostOS == UnixHost && (header.FileAttr & UnixTypeBits) == UnixLinkType);
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
