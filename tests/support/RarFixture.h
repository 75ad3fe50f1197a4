#pragma once

// Builds RAR archives for the tests with the `rar` tool, and crafts the archives that tool
// refuses to make (entries named with "..", absolute names, no entries at all) by editing the
// headers of a RAR 5 archive and fixing their checksums. RAR 4 archives, which the tool no
// longer makes, are written from scratch.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPair>
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

// A RAR 4 archive of stored entries, as `rar -ma4 -m0` made it before the tool dropped the format;
// without `endBlock` it ends as one made with `-en`, without the end-of-archive block.
inline QByteArray rar4Archive(const QList<QPair<QByteArray, QByteArray>>& entries, bool endBlock = true)
{
    const auto little = [](QByteArray& out, uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += char((value >> (8 * i)) & 0xFF);
    };
    // A block: the low half of the CRC32 of its header, then the header (type, flags, size, ...).
    const auto block = [&](const QByteArray& header) {
        QByteArray out;
        little(out, rarCrc32(header.constData(), header.size()) & 0xFFFF, 2);
        return out + header;
    };
    QByteArray archive("Rar!\x1A\x07\x00", 7);
    QByteArray main("\x73", 1);
    little(main, 0, 2);  // flags
    little(main, 13, 2); // header size
    little(main, 0, 6);  // reserved
    archive += block(main);
    for (const auto& [name, data] : entries) {
        QByteArray file("\x74", 1);
        little(file, 0x8000, 2); // data follows the header
        little(file, 32 + name.size(), 2);
        little(file, data.size(), 4); // packed size
        little(file, data.size(), 4); // unpacked size
        little(file, 3, 1);           // made on Unix
        little(file, rarCrc32(data.constData(), data.size()), 4);
        little(file, 0x5A210000, 4); // 2025-01-01 00:00 as a DOS time
        little(file, 20, 1);         // version needed to extract
        little(file, 0x30, 1);       // stored
        little(file, name.size(), 2);
        little(file, 0100644, 4); // attributes
        archive += block(file + name) + data;
    }
    if (endBlock) {
        QByteArray end("\x7B", 1);
        little(end, 0x4000, 2);
        little(end, 7, 2);
        archive += block(end);
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
