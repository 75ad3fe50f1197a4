#include "patch/PatchExtraction.h"

#include "patch/ArchiveEntryPath.h"
#include "patch/RarEntries.h"
#include "patch/RarStructure.h"
#include "platform/AtomicFile.h"
#include "platform/GamePath.h"
#include "platform/PathText.h"
#include "platform/PlayerContact.h"
#include "platform/StopFlag.h"

#include <dll.hpp>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace updater {

namespace {

constexpr unsigned CommentBufferSize = 16384;
// Counted by the extracting thread; atomic so the window and tests may read it.
std::atomic<int> g_unpackedFileCount{0};

int extractFile(HANDLE archive, const std::string& target, EntryTargets& targets)
{
    if (!targets.prepareFolders(folderOf(target)))
        return ERAR_ECREATE;
    // Every entry goes to a temporary name beside its target and takes its place only once it is
    // complete, so a launcher killed mid-entry leaves each game file old or new, never half.
    std::string destination = reserveSiblingName(target, ".updater-unrar-XXXXXX");
    if (destination.empty())
        return ERAR_ECREATE;
    int result = RARProcessFile(archive, RAR_EXTRACT, nullptr, destination.data());
    // The temporary name was free a moment ago and link entries never get here, so what the library
    // wrote there is the entry's file.
    if (result == ERAR_SUCCESS && !replaceFile(destination, target))
        result = ERAR_ECREATE;
    if (result != ERAR_SUCCESS)
        ::unlink(destination.c_str());
    return result;
}

// Returns the library's code for the current entry: 0 when it was written whole.
int processEntry(HANDLE archive, const RARHeaderDataEx& header, EntryTargets& targets)
{
    const std::optional<std::string> target = targets.destination(utf8FromWide(header.FileNameW));
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

} // namespace

bool extractPatchArchive(const std::string& archivePath, const std::string& documentName,
                         const ExtractionContext& context)
{
    std::string path = archivePath;
    std::vector<wchar_t> comment(CommentBufferSize, L'\0');
    RAROpenArchiveDataEx request;
    std::memset(&request, 0, sizeof request);
    request.ArcName = path.data();
    request.OpenMode = RAR_OM_EXTRACT;
    request.CmtBufW = comment.data();
    request.CmtBufSize = CommentBufferSize;
    RarArchive archive(RAROpenArchiveEx(&request));

    if (request.OpenResult != ERAR_SUCCESS || !archive) {
        tell(context, NoticeKind::ArchiveUnreadable, documentName, static_cast<int>(request.OpenResult));
        return false;
    }
    // A cut archive can read as complete to the library; such a patch is not applied at all.
    if (!reachesEndOfArchive(archivePath)) {
        tell(context, NoticeKind::ArchiveHeaderBroken, documentName);
        return false;
    }
    RARSetCallback(archive.get(), stopCallback, reinterpret_cast<LPARAM>(context.stop));
    if (request.CmtState == 1)
        tell(context, NoticeKind::ArchiveComment,
             utf8FromWide(std::wstring_view(comment.data(), ::wcsnlen(comment.data(), comment.size()))));

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
            tell(context, NoticeKind::ArchiveEntryFailed, utf8FromWide(header->FileNameW), result);
            return false;
        }
        if (context.stop && context.stop->requested())
            return false;
    }
    // Any other end than the archive's normal end leaves entries unread (a broken header, headers
    // encrypted with a password the launcher does not have).
    if (headerResult != ERAR_END_ARCHIVE) {
        tell(context, NoticeKind::ArchiveHeaderBroken, documentName, headerResult);
        return false;
    }
    return true;
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
