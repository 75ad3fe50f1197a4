#pragma once

// Builds RAR archives for the tests with the `rar` tool, and crafts the archives that tool
// refuses to make (entries named with "..", absolute names, no entries at all) by editing the
// headers of a RAR 5 archive and fixing their checksums.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <vector>

namespace updater::test {

inline uint32_t rarCrc32(const char* data, qsizetype size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i) {
        crc ^= static_cast<uint8_t>(data[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// One block of a RAR 5 archive: CRC32, header size, header, then optional data.
struct RarBlock
{
    qsizetype start = 0;     // the CRC field
    qsizetype headerEnd = 0; // just past the header
    qsizetype end = 0;       // just past the data
    uint64_t type = 0;       // 1 main, 2 file, 3 service, 5 end of archive
};

inline uint64_t readVint(const QByteArray& bytes, qsizetype& pos)
{
    uint64_t value = 0;
    for (int shift = 0; pos < bytes.size() && shift < 64; shift += 7) {
        const auto byte = static_cast<uint8_t>(bytes[pos++]);
        value |= uint64_t(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            break;
    }
    return value;
}

inline std::vector<RarBlock> rarBlocks(const QByteArray& archive)
{
    std::vector<RarBlock> blocks;
    qsizetype pos = 8; // after the RAR 5 signature
    while (pos + 4 < archive.size()) {
        RarBlock block;
        block.start = pos;
        qsizetype p = pos + 4;
        const uint64_t headerSize = readVint(archive, p);
        block.headerEnd = p + qsizetype(headerSize);
        block.type = readVint(archive, p);
        const uint64_t flags = readVint(archive, p);
        uint64_t dataSize = 0;
        if (flags & 0x1)
            readVint(archive, p); // extra area size
        if (flags & 0x2)
            dataSize = readVint(archive, p);
        block.end = block.headerEnd + qsizetype(dataSize);
        blocks.push_back(block);
        pos = block.end;
    }
    return blocks;
}

inline void fixHeaderCrc(QByteArray& archive, const RarBlock& block)
{
    const uint32_t crc = rarCrc32(archive.constData() + block.start + 4, block.headerEnd - block.start - 4);
    for (int i = 0; i < 4; ++i)
        archive[block.start + i] = char((crc >> (8 * i)) & 0xFF);
}

// Replaces a stored entry name by another of the same length and keeps the header valid.
inline QByteArray renameRarEntry(QByteArray archive, const QByteArray& from, const QByteArray& to)
{
    Q_ASSERT(from.size() == to.size());
    const qsizetype at = archive.indexOf(from);
    Q_ASSERT(at >= 0);
    archive.replace(at, from.size(), to);
    for (const RarBlock& block : rarBlocks(archive))
        if (at >= block.start && at < block.headerEnd)
            fixHeaderCrc(archive, block);
    return archive;
}

// The archive without its file entries: a valid archive that holds nothing.
inline QByteArray withoutEntries(const QByteArray& archive)
{
    QByteArray result = archive.left(8);
    for (const RarBlock& block : rarBlocks(archive))
        if (block.type != 2)
            result += archive.mid(block.start, block.end - block.start);
    return result;
}

// Damages the header of the n-th file entry (counted from 0) so its checksum fails.
inline QByteArray withBrokenEntryHeader(QByteArray archive, int entry)
{
    int seen = 0;
    for (const RarBlock& block : rarBlocks(archive))
        if (block.type == 2 && seen++ == entry) {
            archive[block.start + 4] = char(0); // a header size of 0 cannot be read
            break;
        }
    return archive;
}

// A staging folder whose files become archive entries under their relative names.
class RarBuilder
{
public:
    void add(const QString& name, const QByteArray& bytes)
    {
        const QString full = m_stage.filePath(name);
        QDir().mkpath(QFileInfo(full).path());
        QFile file(full);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes);
    }
    void addSymlink(const QString& name, const QString& target)
    {
        QFile::link(target, m_stage.filePath(name));
    }
    QString stagePath() const { return m_stage.path(); }

    // Runs "rar a <options> <archive> <names...>" in the staging folder and returns the bytes of
    // the archive; later calls add to the same archive.
    QByteArray build(const QStringList& names, const QStringList& options = {})
    {
        const QString archive = m_output.filePath("archive.rar");
        QProcess rar;
        rar.setWorkingDirectory(m_stage.path());
        rar.start("rar", QStringList{"a", "-idq", "-y"} + options + QStringList{archive} + names);
        rar.waitForFinished(120000);
        QFile file(archive);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_stage;
    QTemporaryDir m_output;
};

} // namespace updater::test
