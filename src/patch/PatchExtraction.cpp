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

// The running count of unpacked entries. An archive of small files finishes thousands a second,
// and a caption for each would wake the window as often; so a count is shown once the interval
// has passed since the last one, during a long entry as its data flows, and before anything else
// the player hears of the archive.
class UnpackCaption
{
public:
    explicit UnpackCaption(const ExtractionContext& context) : m_context(context) {}

    void entryDone()
    {
        ++g_unpackedFileCount;
        m_held = true;
        showWhenDue();
    }
    void showWhenDue()
    {
        if (m_held && Clock::now() - m_lastShown >= m_context.captionInterval)
            show();
    }
    void showHeld()
    {
        if (m_held)
            show();
    }

private:
    using Clock = std::chrono::steady_clock;
    void show()
    {
        m_held = false;
        m_lastShown = Clock::now();
        if (m_context.showCaption)
            m_context.showCaption("unrar... please wait! [ " + std::to_string(g_unpackedFileCount) + " ]");
    }

    const ExtractionContext& m_context;
    Clock::time_point m_lastShown{};
    bool m_held = false;
};

void tell(const ExtractionContext& context, UnpackCaption& caption, NoticeKind kind,
          const std::string& subject, int code = 0)
{
    caption.showHeld();
    if (context.player && !(context.stop && context.stop->requested()))
        context.player->tell({kind, subject, {}, {}, code});
}

struct CallbackState
{
    const StopFlag* stop;
    UnpackCaption* caption;
};

// Called as an entry's data flows. Lets a requested stop abandon the entry being written: the
// library then fails the entry, and the partial file is removed like that of any failed entry.
// Every other request (a password, the next volume) is declined, as when no callback is set.
int CALLBACK dataCallback(UINT message, LPARAM userData, LPARAM, LPARAM)
{
    if (message != UCM_PROCESSDATA)
        return -1;
    const auto* state = reinterpret_cast<const CallbackState*>(userData);
    if (state->stop && state->stop->requested())
        return -1;
    state->caption->showWhenDue();
    return 1;
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

    UnpackCaption caption(context);
    if (request.OpenResult != ERAR_SUCCESS || !archive) {
        tell(context, caption, NoticeKind::ArchiveUnreadable, documentName,
             static_cast<int>(request.OpenResult));
        return false;
    }
    // A cut archive can read as complete to the library; such a patch is not applied at all.
    if (!reachesEndOfArchive(archivePath)) {
        tell(context, caption, NoticeKind::ArchiveHeaderBroken, documentName);
        return false;
    }
    CallbackState callbackState{context.stop, &caption};
    RARSetCallback(archive.get(), dataCallback, reinterpret_cast<LPARAM>(&callbackState));
    if (request.CmtState == 1)
        tell(context, caption, NoticeKind::ArchiveComment,
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
        caption.entryDone();
        if (result != ERAR_SUCCESS) {
            tell(context, caption, NoticeKind::ArchiveEntryFailed, utf8FromWide(header->FileNameW), result);
            return false;
        }
        if (context.stop && context.stop->requested())
            return false;
    }
    caption.showHeld();
    // Any other end than the archive's normal end leaves entries unread (a broken header, headers
    // encrypted with a password the launcher does not have).
    if (headerResult != ERAR_END_ARCHIVE) {
        tell(context, caption, NoticeKind::ArchiveHeaderBroken, documentName, headerResult);
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
