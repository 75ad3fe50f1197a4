#include "patch/PatchExtraction.h"

#include "patch/ArchiveEntryPath.h"
#include "patch/RarEntries.h"
#include "patch/RarStructure.h"
#include "patch/TestHooks.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/DiskSync.h"
#include "platform/EventLog.h"
#include "platform/GamePath.h"
#include "platform/PathText.h"
#include "platform/StopFlag.h"
#include "platform/UpdaterError.h"
#include "player/PlayerContact.h"
#include "trust/Crc32.h"

#include <dll.hpp>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace updater {

namespace {

constexpr unsigned CommentBufferSize = 16384;
// Counted by the extracting thread; atomic so the window and tests may read it.
std::atomic<int> g_unpackedFileCount{0};

// The running count of unpacked entries. An archive of small files finishes thousands a second,
// and a caption for each would wake the window as often; so a count is shown once the interval
// has passed since the last one, during a long entry as its data flows, and before anything else
// the player hears of the archive. The first count is shown at once, whatever the clock reads.
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
        if (m_held && (!m_lastShown || clock().now() - *m_lastShown >= m_context.captionInterval))
            show();
    }
    void showHeld()
    {
        if (m_held)
            show();
    }

private:
    const Clock& clock() const { return m_context.clock ? *m_context.clock : Clock::steady(); }
    void show()
    {
        m_held = false;
        m_lastShown = clock().now();
        if (m_context.showCount)
            m_context.showCount(g_unpackedFileCount);
    }

    const ExtractionContext& m_context;
    std::optional<Clock::TimePoint> m_lastShown;
    bool m_held = false;
};

void tell(const ExtractionContext& context, UnpackCaption& caption, NoticeKind kind,
          const std::string& subject, int code = 0, const std::string& cause = {})
{
    caption.showHeld();
    if (context.player && !(context.stop && context.stop->requested()))
        context.player->tell({kind, subject, {}, cause, code});
}

struct OwnFileEntry
{
    std::string entry; // as stored
    std::string file;  // the launcher's name of what it would replace
};

// The first entry that would replace one of the launcher's own files, from the headers alone, so
// that such a patch refuses before anything of it is written. An archive the library cannot list
// has nothing found here; its extraction tells what is wrong with it.
std::optional<OwnFileEntry> entryReplacingOwnFile(const std::string& archivePath)
{
    const RarArchive archive = openArchiveToList(archivePath);
    if (!archive)
        return std::nullopt;
    std::optional<OwnFileEntry> found;
    readEntries(archive.get(), [&](const RARHeaderDataEx& header) {
        const std::string name = utf8FromWide(header.FileNameW);
        if (const std::optional<std::string> own = launcherOwnFile(name)) {
            found = OwnFileEntry{name, *own};
            return false;
        }
        return RARProcessFile(archive.get(), RAR_SKIP, nullptr, nullptr) == ERAR_SUCCESS;
    });
    return found;
}

// What the library's callback works with while an entry is unpacked.
struct CallbackState
{
    const ExtractionContext* context = nullptr;
    UnpackCaption* caption = nullptr;
    AtomicFileWriter* entryFile = nullptr; // the entry being written
    // What the entry holds, for the record of installed files: the archive's CRC-32 where the
    // header has one (the library proves it), else computed as the data flows.
    Crc32Stream* entryCrc = nullptr;
    uint64_t entrySize = 0;
    bool writeFailed = false;
    std::string entryCause; // why the entry failed on our side, for the log ("disk full", ...)
};

// Called as an entry's data flows: writes it, and lets a requested stop abandon the entry (the
// library then fails it, and its unfinished file goes). Every other request (a password, the
// next volume) is declined, as when no callback is set.
int CALLBACK dataCallback(UINT message, LPARAM userData, LPARAM data, LPARAM size)
{
    if (message != UCM_PROCESSDATA)
        return -1;
    auto* state = reinterpret_cast<CallbackState*>(userData);
    if (state->context->stop && state->context->stop->requested())
        return -1;
    if (state->entryFile) {
        try {
            state->entryFile->write(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
            if (state->entryCrc)
                state->entryCrc->add(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
            state->entrySize += static_cast<uint64_t>(size);
        } catch (const UpdaterError& error) {
            state->writeFailed = true;
            state->entryCause = withReason(error);
            return -1;
        }
    }
    state->caption->showWhenDue();
    return 1;
}

// The archive's modification time of an entry (100 ns steps since 1601), if it has one.
std::optional<FileTime> modificationTimeOf(const RARHeaderDataEx& header)
{
    constexpr int64_t StepsPerSecond = 10'000'000, StepsFrom1601To1970 = 116'444'736'000'000'000;
    const uint64_t steps = uint64_t(header.MtimeHigh) << 32 | header.MtimeLow;
    if (steps == 0)
        return std::nullopt;
    const int64_t sinceEpoch = static_cast<int64_t>(steps) - StepsFrom1601To1970;
    int64_t seconds = sinceEpoch / StepsPerSecond, rest = sinceEpoch % StepsPerSecond;
    if (rest < 0) {
        --seconds;
        rest += StepsPerSecond;
    }
    return FileTime{seconds, static_cast<int32_t>(rest * 100)};
}

// The entries of the archive on their way: where each goes, and what waits in the staging folder.
struct Slot
{
    EntryTargets targets;
    StagingFolder staging;
    std::vector<StagedEntry> entries;
    std::unordered_map<std::string, size_t> byTarget; // an entry that comes again replaces its file
};

// The library tests the entry (its checksum included) and hands its data to the callback, which
// writes it into the staging folder; a file there is named only once whole.
int stageFile(HANDLE archive, const RARHeaderDataEx& header, const std::string& target, Slot& slot,
              CallbackState& state)
{
    if (slot.staging.path().empty()) {
        state.entryCause = "cannot make the staging folder";
        return ERAR_ECREATE;
    }
    const auto known = slot.byTarget.find(target);
    StagedEntry entry;
    entry.staged = known != slot.byTarget.end() ? slot.entries[known->second].staged
                                                : std::to_string(slot.entries.size() + 1);
    entry.target = target;
    std::optional<AtomicFileWriter> file;
    try {
        file.emplace(slot.staging.path() + "/" + entry.staged, ".updater-unrar-XXXXXX");
    } catch (const UpdaterError& error) {
        state.entryCause = withReason(error);
        return ERAR_ECREATE;
    }
    const bool headerHasCrc = header.HashType == RAR_HASH_CRC32;
    Crc32Stream crc;
    state.entryFile = &*file;
    state.entryCrc = headerHasCrc ? nullptr : &crc;
    state.entrySize = 0;
    state.writeFailed = false;
    const int result = RARProcessFile(archive, RAR_TEST, nullptr, nullptr);
    state.entryFile = nullptr;
    state.entryCrc = nullptr;
    if (state.writeFailed)
        return ERAR_EWRITE;
    if (result != ERAR_SUCCESS)
        return result;
    // The archive's permissions, without set-id bits: a patch has no business making those.
    file->setPermissions(header.FileAttr & 0777);
    if (const auto modified = modificationTimeOf(header))
        file->setModificationTime(*modified);
    try {
        file->commit();
    } catch (const UpdaterError& error) {
        state.entryCause = withReason(error);
        return ERAR_ECREATE;
    }
    entry.size = state.entrySize;
    entry.crc32 = crc32Hex(headerHasCrc ? header.FileCRC : crc.value());
    if (known != slot.byTarget.end()) {
        slot.entries[known->second] = std::move(entry);
    } else {
        slot.byTarget.emplace(target, slot.entries.size());
        slot.entries.push_back(std::move(entry));
    }
    return ERAR_SUCCESS;
}

// Returns the library's code for the current entry: 0 when it was staged whole.
int processEntry(HANDLE archive, const RARHeaderDataEx& header, Slot& slot, CallbackState& state)
{
    state.entryCause.clear();
    const std::optional<std::string> target = slot.targets.destination(utf8FromWide(header.FileNameW));
    if (!target || isLinkEntry(header)) {
        state.entryCause = target ? "a link entry" : "an unsafe name";
        return ERAR_ECREATE;
    }
    if (state.context->wanted && ((header.Flags & RHDF_DIRECTORY) || !state.context->wanted(*target)))
        return RARProcessFile(archive, RAR_SKIP, nullptr, nullptr);
    const bool folder = header.Flags & RHDF_DIRECTORY;
    const std::string folders = folder ? *target : folderOf(*target);
    if (!slot.targets.planFolders(folders)) {
        state.entryCause = "cannot make the folder " + folders;
        return ERAR_ECREATE;
    }
    if (folder) {
        StagedEntry made;
        made.target = *target;
        slot.entries.push_back(std::move(made));
        return RARProcessFile(archive, RAR_SKIP, nullptr, nullptr);
    }
    if (!slot.targets.planFile(*target)) {
        state.entryCause = "a folder stands in its place";
        return ERAR_ECREATE;
    }
    return stageFile(archive, header, *target, slot, state);
}

// Every entry is staged: puts them in place. With a journal (`staged`), the staged files reach the
// disk first, so that an interrupted start can finish what the journal names.
bool placeSlot(Slot& slot, const std::string& documentName, const ExtractionContext& context,
               UnpackCaption& caption)
{
    if (context.staged) {
        std::vector<std::string> stagedFiles;
        for (const StagedEntry& entry : slot.entries)
            if (!entry.staged.empty())
                stagedFiles.push_back(slot.staging.path() + "/" + entry.staged);
        if (!syncWrittenFiles(stagedFiles))
            logEvent("the staged files of " + documentName + " could not all be synced to the disk");
        if (!context.staged(slot.entries))
            return false;
    }
    // From here the journal names the staged files: they stay until the slot is finished.
    slot.staging.keep(context.staged != nullptr);
    const std::optional<PlacementFailure> failure =
        placeStagedEntries(slot.entries, [&context](const StagedEntry& entry) {
            if (context.written)
                context.written(entry.target, entry.size, entry.crc32);
        });
    if (failure) {
        tell(context, caption, NoticeKind::ArchiveEntryFailed, failure->target, ERAR_ECREATE, failure->cause);
        return false;
    }
    slot.staging.keep(false);
    return true;
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
    if (const std::optional<OwnFileEntry> own = entryReplacingOwnFile(archivePath)) {
        tell(context, caption, NoticeKind::ArchiveEntryFailed, own->entry, ERAR_ECREATE,
             "would replace the launcher's own " + own->file);
        return false;
    }
    CallbackState callbackState;
    callbackState.context = &context;
    callbackState.caption = &caption;
    RARSetCallback(archive.get(), dataCallback, reinterpret_cast<LPARAM>(&callbackState));
    if (request.CmtState == 1)
        tell(context, caption, NoticeKind::ArchiveComment,
             utf8FromWide(std::wstring_view(comment.data(), ::wcsnlen(comment.data(), comment.size()))));

    Slot slot;
    const int headerResult = readEntries(archive.get(), [&](const RARHeaderDataEx& header) {
        const int result = processEntry(archive.get(), header, slot, callbackState);
        caption.entryDone();
        if (result != ERAR_SUCCESS) {
            tell(context, caption, NoticeKind::ArchiveEntryFailed, utf8FromWide(header.FileNameW), result,
                 callbackState.entryCause);
            return false;
        }
        return !(context.stop && context.stop->requested());
    });
    if (headerResult == ERAR_SUCCESS)
        return false; // a failed entry (told) or a stop
    caption.showHeld();
    // Any other end than the archive's normal end leaves entries unread (a broken header, headers
    // encrypted with a password the launcher does not have).
    if (headerResult != ERAR_END_ARCHIVE) {
        tell(context, caption, NoticeKind::ArchiveHeaderBroken, documentName, headerResult);
        return false;
    }
    return placeSlot(slot, documentName, context, caption);
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
