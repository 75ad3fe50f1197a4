#include "patch/InstalledFiles.h"

#include "patch/ArchiveEntryPath.h"
#include "patch/RecordFields.h"
#include "platform/AtomicFile.h"
#include "platform/EventLog.h"
#include "platform/FileOps.h"
#include "platform/GamePath.h"
#include "platform/PathText.h"

namespace updater {

namespace {

constexpr std::string_view Heading = "; Files the patches installed: slot, archive, size, CRC-32, path.";
constexpr std::string_view NotCoveredPrefix = "; Applied before this record began: ";

} // namespace

std::string installedFilesPath()
{
    return updaterFolderPath("installed-files.list");
}

InstalledFiles::InstalledFiles(std::string path) : m_path(std::move(path))
{
    std::string text;
    const OwnFileRead outcome = readOwnFile(m_path, text, Largest);
    if (outcome == OwnFileRead::Missing)
        return;
    if (outcome != OwnFileRead::Read && outcome != OwnFileRead::TooLarge) {
        m_state = State::Unreadable;
        return;
    }
    // Past the cap the last line is cut: it is not read, and is named with the rest.
    const size_t readable = outcome == OwnFileRead::Read ? text.size() : text.rfind('\n') + 1;
    const std::vector<std::string_view> lines = linesOf(std::string_view(text).substr(0, readable));
    for (size_t i = 0; i < lines.size(); ++i)
        if (const std::optional<RefusedLine::Reason> reason = read(lines[i]))
            m_refused.push_back({i + 1, *reason, std::string(lines[i])});
    if (outcome == OwnFileRead::TooLarge)
        m_refused.push_back({lines.size() + 1, RefusedLine::Reason::PastLargest, {}});
    m_state = m_refused.empty() ? State::Read : State::Damaged;
}

std::optional<RefusedLine::Reason> InstalledFiles::read(std::string_view line)
{
    using Reason = RefusedLine::Reason;
    if (line.starts_with(NotCoveredPrefix)) {
        for (const std::string_view slot : fieldsOf(line.substr(NotCoveredPrefix.size())))
            if (!slot.empty())
                m_notCovered.emplace_back(slot);
        return std::nullopt;
    }
    if (line.empty() || line.starts_with(';'))
        return std::nullopt;
    // A damaged line cannot be trusted to name what a file must hold, nor one naming a file
    // outside the game folder or of the launcher's own, which no patch can have written.
    const std::vector<std::string_view> fields = fieldsOf(line);
    InstalledFile file;
    if (fields.size() != 5)
        return Reason::Fields;
    if (!parseNumberField(fields[2], file.size))
        return Reason::Size;
    if (!isCrc32Field(fields[3]))
        return Reason::Crc32;
    std::string path = unescapedField(fields[4]);
    if (launcherOwnFile(path))
        return Reason::OwnFile;
    if (isUnsafeEntryName(path))
        return Reason::Outside;
    file.slot = unescapedField(fields[0]);
    file.document = unescapedField(fields[1]);
    file.crc32 = lowerAscii(fields[3]);
    m_files[std::move(path)] = std::move(file);
    return std::nullopt;
}

void InstalledFiles::begin(std::vector<std::string> applied)
{
    m_files.clear();
    m_refused.clear();
    m_notCovered = std::move(applied);
}

void InstalledFiles::note(const std::string& path, InstalledFile file)
{
    m_files[path] = std::move(file);
}

void InstalledFiles::save() const
{
    // What lies past the cap was never read: written over, it would be lost.
    if (!m_refused.empty() && m_refused.back().reason == RefusedLine::Reason::PastLargest) {
        logEvent("record of installed files: larger than 64 MiB, left as it stands");
        return;
    }
    std::string text(Heading);
    text += '\n';
    if (!m_notCovered.empty()) {
        text += NotCoveredPrefix;
        for (size_t i = 0; i < m_notCovered.size(); ++i)
            text += (i ? "\t" : "") + escapedField(m_notCovered[i]);
        text += '\n';
    }
    for (const auto& [path, file] : m_files)
        text += escapedField(file.slot) + '\t' + escapedField(file.document) + '\t' +
                std::to_string(file.size) + '\t' + file.crc32 + '\t' + escapedField(path) + '\n';
    for (const RefusedLine& line : m_refused)
        text += line.text + '\n';
    writeFileAtomically(m_path, text, Durability::Durable);
}

} // namespace updater
