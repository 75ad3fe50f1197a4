#include "patch/PatchExtraction.h"

#include "patch/ArchiveEntryPath.h"
#include "platform/AtomicFile.h"
#include "platform/GamePath.h"
#include "platform/PathText.h"
#include "platform/PlayerContact.h"
#include "platform/StopFlag.h"

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

int extractFile(HANDLE archive, const std::string& target, EntryTargets& targets)
{
    if (!targets.prepareFolders(folderOf(target)))
        return ERAR_ECREATE;
    // With no old file to protect the entry goes straight to its place; otherwise to a
    // temporary name that replaces the old file only once the entry is complete.
    struct stat existing;
    const bool replacing = ::lstat(target.c_str(), &existing) == 0;
    std::string destination = replacing ? reserveSiblingName(target, ".updater-unrar-XXXXXX") : target;
    if (destination.empty())
        return ERAR_ECREATE;
    int result = RARProcessFile(archive, RAR_EXTRACT, nullptr, destination.data());
    if (result == ERAR_SUCCESS) {
        struct stat st;
        if (::lstat(destination.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            (replacing && !replaceFile(destination, target)))
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

void showUnpackProgress(const ExtractionContext& context)
{
    const int count = ++g_unpackedFileCount;
    if (context.showCaption)
        context.showCaption("unrar... please wait! [ " + std::to_string(count) + " ]");
}

void tell(const ExtractionContext& context, NoticeKind kind, const std::string& subject, int code = 0)
{
    if (context.player && !(context.stop && context.stop->requested()))
        context.player->tell({kind, subject, {}, {}, code});
}

// Lets a requested stop abandon the entry being written: the library then fails the entry, and
// the partial file is removed like that of any failed entry. Every other request (a password, the
// next volume) is declined, as when no callback is set.
int CALLBACK stopCallback(UINT message, LPARAM stopFlag, LPARAM, LPARAM)
{
    if (message != UCM_PROCESSDATA)
        return -1;
    const auto* stop = reinterpret_cast<const StopFlag*>(stopFlag);
    return stop && stop->requested() ? -1 : 1;
}

struct ArchiveCloser
{
    void operator()(void* handle) const { RARCloseArchive(handle); }
};

} // namespace

bool extractPatchArchive(const std::string& archiveName, const ExtractionContext& context)
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
        tell(context, NoticeKind::ArchiveUnreadable, archiveName, static_cast<int>(request.OpenResult));
        return false;
    }
    RARSetCallback(archive.get(), stopCallback, reinterpret_cast<LPARAM>(context.stop));
    if (request.CmtState == 1)
        tell(context, NoticeKind::ArchiveComment,
             std::string(comment.data(), ::strnlen(comment.data(), comment.size())));

    EntryTargets targets;
    auto header = std::make_unique<RARHeaderDataEx>();
    int headerResult = ERAR_SUCCESS;
    for (;;) {
        std::memset(header.get(), 0, sizeof *header);
        headerResult = RARReadHeaderEx(archive.get(), header.get());
        if (headerResult != ERAR_SUCCESS)
            break;
        const int result = processEntry(archive.get(), *header, targets);
        showUnpackProgress(context);
        if (result != ERAR_SUCCESS) {
            tell(context, NoticeKind::ArchiveEntryFailed, header->FileName, result);
            return false;
        }
        if (context.stop && context.stop->requested())
            return false;
    }
    if (headerResult == ERAR_BAD_DATA)
        tell(context, NoticeKind::ArchiveHeaderBroken, archiveName);
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
