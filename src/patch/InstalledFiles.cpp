#include "patch/InstalledFiles.h"

#include "patch/ArchiveEntryPath.h"
#include "patch/RecordFields.h"
#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/GamePath.h"

#include <charconv>

namespace updater {

namespace {

constexpr std::string_view Heading = "; Files the patches installed: slot, archive, size, CRC-32, path.";
constexpr std::string_view NotCoveredPrefix = "; Applied before this record began: ";

bool isCrc32Hex(std::string_view text)
{
    return text.size() == 8 && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// The whole field, digits only.
bool parseSize(std::string_view text, uint64_t& size)
{
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, size);
    return !text.empty() && error == std::errc() && stop == end;
}

} // namespace

std::string installedFilesPath()
{
    return updaterFolderPath("installed-files.list");
}

InstalledFiles::InstalledFiles(std::string path) : m_path(std::move(path))
{
    std::string text;
    switch (readOwnFile(m_path, text, Largest)) {
    case OwnFileRead::Read:
        break;
    case OwnFileRead::Missing:
        m_state = State::Missing;
        return;
    default:
        m_state = State::Unreadable;
        return;
    }
    m_state = State::Read;
    for (const std::string_view line : linesOf(text)) {
        if (line.starts_with(NotCoveredPrefix)) {
            const std::vector<std::string_view> slots = fieldsOf(line.substr(NotCoveredPrefix.size()));
            for (const std::string_view slot : slots)
                if (!slot.empty())
                    m_notCovered.emplace_back(slot);
            continue;
        }
        if (line.empty() || line.starts_with(';'))
            continue;
        const std::vector<std::string_view> fields = fieldsOf(line);
        InstalledFile file;
        // A damaged line cannot be trusted to name what a file must hold, nor one naming a file
        // outside the game folder or of the launcher's own, which no patch can have written.
        if (fields.size() != 5 || !isCrc32Hex(fields[3]) || !parseSize(fields[2], file.size) ||
            isUnsafeEntryName(unescapedField(fields[4]))) {
            m_state = State::Unreadable;
            m_files.clear();
            return;
        }
        file.slot = unescapedField(fields[0]);
        file.document = unescapedField(fields[1]);
        file.crc32 = std::string(fields[3]);
        m_files[unescapedField(fields[4])] = std::move(file);
    }
}

void InstalledFiles::begin(std::vector<std::string> applied)
{
    m_state = State::Read;
    m_files.clear();
    m_notCovered = std::move(applied);
}

void InstalledFiles::note(const std::string& path, InstalledFile file)
{
    m_files[path] = std::move(file);
}

void InstalledFiles::save() const
{
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
    writeFileAtomically(m_path, text, Durability::Durable);
}

} // namespace updater
