#include "patch/PatchExtraction.h"

#include "patch/ArchiveEntryPath.h"
#include "platform/DialogService.h"
#include "platform/GamePath.h"
#include "platform/WindowThread.h"

#include <dll.hpp>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace updater {

namespace {

constexpr unsigned CommentBufferSize = 16384;
constexpr unsigned UnixHost = 3;

// Counted by the extracting thread; atomic so the window and tests may read it.
std::atomic<int> g_unpackedFileCount{0};

bool isLinkEntry(const RARHeaderDataEx& header)
{
    return header.RedirType != 0 || (header.HostOS == UnixHost && S_ISLNK(header.FileAttr));
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// A name beside `target` that no other file uses yet. The library creates the file itself, so
// that it gets the usual permissions.
std::string reserveTemporaryName(const std::string& target)
{
    std::string name = folderOf(target) + "/.updater-unrar-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return {};
    ::close(fd);
    ::unlink(name.c_str());
    return name;
}

int extractFile(HANDLE archive, const std::string& target, EntryTargets& targets)
{
    if (!targets.prepareFolders(folderOf(target)))
        return ERAR_ECREATE;
    // With no old file to protect the entry goes straight to its place; otherwise to a
    // temporary name that replaces the old file only once the entry is complete.
    struct stat existing;
    const bool replacing = ::lstat(target.c_str(), &existing) == 0;
    std::string destination = replacing ? reserveTemporaryName(target) : target;
    if (destination.empty())
        return ERAR_ECREATE;
    int result = RARProcessFile(archive, RAR_EXTRACT, nullptr, destination.data());
    if (result == ERAR_SUCCESS) {
        struct stat st;
        if (::lstat(destination.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            (replacing && ::rename(destination.c_str(), target.c_str()) != 0))
            result = ERAR_ECREATE;
    }
    if (result != ERAR_SUCCESS)
        ::unlink(destination.c_str());
    return result;
}

// Returns the library's code for the current entry: 0 when it was written whole.
int processEntry(HANDLE archive, const RARHeaderDataEx& header, EntryTargets& targets)
{
    const std::optional<std::string> target = targets.destination(header.FileName);
    if (!target || isLinkEntry(header))
        return ERAR_ECREATE;
    if (header.Flags & RHDF_DIRECTORY)
        return targets.prepareFolders(*target) ? RARProcessFile(archive, RAR_SKIP, nullptr, nullptr)
                                               : ERAR_ECREATE;
    const int result = extractFile(archive, *target, targets);
    if (result == ERAR_SUCCESS)
        targets.noteWritten(*target);
    return result;
}

void showUnpackProgress(const ExtractionHooks& hooks)
{
    const int count = ++g_unpackedFileCount;
    if (hooks.showFilenameCaption)
        hooks.showFilenameCaption("unrar... please wait! [ " + std::to_string(count) + " ]");
}

struct ArchiveCloser
{
    void operator()(void* handle) const { RARCloseArchive(handle); }
};

} // namespace

bool extractPatchArchive(const std::string& archiveName, const ExtractionHooks& hooks)
{
    std::string path = resolveGamePath(archiveName);
    std::vector<char> comment(CommentBufferSize, '\0');
    RAROpenArchiveDataEx request;
    std::memset(&request, 0, sizeof request);
    request.ArcName = path.data();
    request.OpenMode = RAR_OM_EXTRACT;
    request.CmtBuf = comment.data();
    request.CmtBufSize = CommentBufferSize;
    std::unique_ptr<void, ArchiveCloser> archive(RAROpenArchiveEx(&request));

    if (request.OpenResult != ERAR_SUCCESS || !archive) {
        showMessage(" Cant open file: " + archiveName + "\nError Code" + std::to_string(request.OpenResult));
        // Whether the player lets the window close or not, nothing of this archive was applied.
        if (hooks.requestWindowClose)
            runOnWindowThread([&] { hooks.requestWindowClose(); });
        return false;
    }
    if (request.CmtState == 1)
        showMessage(std::string(comment.data(), ::strnlen(comment.data(), comment.size())));

    EntryTargets targets;
    auto header = std::make_unique<RARHeaderDataEx>();
    int headerResult = ERAR_SUCCESS;
    for (;;) {
        std::memset(header.get(), 0, sizeof *header);
        headerResult = RARReadHeaderEx(archive.get(), header.get());
        if (headerResult != ERAR_SUCCESS)
            break;
        const int result = processEntry(archive.get(), *header, targets);
        showUnpackProgress(hooks);
        if (result != ERAR_SUCCESS) {
            showMessage("-= RAR ERROR =-\n\nPFCode");
            return false;
        }
    }
    if (headerResult == ERAR_BAD_DATA)
        showMessage("-= RAR ERROR =-\n\nFile header broken");
    // Any other end than the archive's normal end leaves entries unread.
    return headerResult == ERAR_END_ARCHIVE;
}

int unpackedFileCount()
{
    return g_unpackedFileCount;
}

void resetUnpackedFileCountForTest()
{
    g_unpackedFileCount = 0;
}

} // namespace updater
