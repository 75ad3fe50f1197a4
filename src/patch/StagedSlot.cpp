#include "patch/StagedSlot.h"

#include "patch/ArchiveEntryPath.h"
#include "patch/RecordFields.h"
#include "platform/AtomicFile.h"
#include "platform/DiskSync.h"
#include "platform/FileOps.h"
#include "platform/GamePath.h"
#include "platform/PathText.h"

#include <unordered_set>

namespace updater {

namespace {

constexpr std::string_view Heading =
    "; A slot being put in place: slot and archive, then staged name, size, CRC-32 and place.";
// A journal of this many bytes is not one the launcher wrote.
constexpr uint64_t LargestJournal = 64 * 1024 * 1024;

// A name the launcher gives a staged file: digits, so that no journal can point out of the folder.
bool isStagedName(std::string_view name)
{
    return name.find_first_not_of("0123456789") == std::string_view::npos;
}

std::optional<StagedEntry> entryOf(std::string_view line)
{
    const std::vector<std::string_view> fields = fieldsOf(line);
    StagedEntry entry;
    if (fields.size() != 4 || !isStagedName(fields[0]) || !parseNumberField(fields[1], entry.size) ||
        !(fields[2].empty() || isCrc32Field(fields[2])))
        return std::nullopt;
    entry.staged = std::string(fields[0]);
    entry.crc32 = lowerAscii(fields[2]);
    entry.target = unescapedField(fields[3]);
    if (isUnsafeEntryName(entry.target))
        return std::nullopt;
    return entry;
}

} // namespace

std::string stagingFolderPath()
{
    return updaterFolderPath("staging");
}

std::string slotJournalPath()
{
    return updaterFolderPath("slot-journal");
}

StagingFolder::~StagingFolder()
{
    if (m_path.empty() || m_kept)
        return;
    removeTree(m_path);
    if (m_madeUpdaterFolder)
        removeEmptyFolder(folderOf(m_path));
}

const std::string& StagingFolder::path()
{
    if (!m_path.empty())
        return m_path;
    const FolderMade updaterFolder = makeFolder(resolveGamePath("Tarvo-Updater"));
    if (updaterFolder == FolderMade::Failed)
        return m_path;
    m_madeUpdaterFolder = updaterFolder == FolderMade::Created;
    const std::string folder = resolveGamePath(stagingFolderPath());
    removeTree(folder);
    if (makeFolder(folder) == FolderMade::Created)
        m_path = folder;
    else if (m_madeUpdaterFolder)
        removeEmptyFolder(folderOf(folder));
    return m_path;
}

void writeSlotJournal(const SlotJournal& journal)
{
    std::string text(Heading);
    text += '\n' + std::to_string(journal.slot) + '\t' + escapedField(journal.document) + '\n';
    for (const StagedEntry& entry : journal.entries)
        text += entry.staged + '\t' + std::to_string(entry.size) + '\t' + entry.crc32 + '\t' +
                escapedField(entry.target) + '\n';
    writeFileAtomically(resolveGamePath(slotJournalPath()), text, Durability::Durable);
}

JournalRead readSlotJournal(SlotJournal& journal)
{
    std::string text;
    const OwnFileRead read = readOwnFile(resolveGamePath(slotJournalPath()), text, LargestJournal);
    if (read == OwnFileRead::Missing)
        return JournalRead::Missing;
    if (read != OwnFileRead::Read)
        return JournalRead::Unreadable;
    journal = {};
    bool headed = false;
    for (const std::string_view line : linesOf(text)) {
        if (line.empty() || line.starts_with(';'))
            continue;
        if (headed) {
            const std::optional<StagedEntry> entry = entryOf(line);
            if (!entry)
                return JournalRead::Unreadable;
            journal.entries.push_back(*entry);
            continue;
        }
        const std::vector<std::string_view> fields = fieldsOf(line);
        if (fields.size() != 2 || !parseNumberField(fields[0], journal.slot) || journal.slot <= 0)
            return JournalRead::Unreadable;
        journal.document = unescapedField(fields[1]);
        headed = true;
    }
    return headed ? JournalRead::Read : JournalRead::Unreadable;
}

void dropSlotJournal()
{
    const std::string journal = resolveGamePath(slotJournalPath());
    // Gone from the disk before the staged files it names: a power cut between the two must not
    // leave a journal whose files are missing.
    if (removeFile(journal))
        syncFolder(folderOf(journal));
    removeTree(resolveGamePath(stagingFolderPath()));
}

std::optional<PlacementFailure> placeStagedEntries(const std::vector<StagedEntry>& entries,
                                                   const std::function<void(const StagedEntry&)>& placed)
{
    const std::string staging = resolveGamePath(stagingFolderPath());
    std::unordered_set<std::string> made;
    const auto makeFolders = [&made](const std::string& path) {
        for (size_t end = 0; end != std::string::npos;) {
            end = path.find('/', end + 1);
            const std::string folder = path.substr(0, end);
            if (folder.empty() || folder == "." || made.count(folder))
                continue;
            if (makeFolder(folder) == FolderMade::Failed)
                return false;
            made.insert(folder);
        }
        return true;
    };
    for (const StagedEntry& entry : entries) {
        const std::string folder = entry.staged.empty() ? entry.target : folderOf(entry.target);
        if (!makeFolders(folder))
            return PlacementFailure{entry.target, "cannot make the folder " + folder};
        if (entry.staged.empty())
            continue;
        const std::string from = staging + "/" + entry.staged;
        if (!placeFile(from, entry.target) &&
            !(entryKind(from) == EntryKind::Nothing && entryKind(entry.target) == EntryKind::RegularFile))
            return PlacementFailure{entry.target, "cannot put it in place"};
        if (placed)
            placed(entry);
    }
    return std::nullopt;
}

} // namespace updater
