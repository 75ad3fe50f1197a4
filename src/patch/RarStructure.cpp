#include "patch/RarStructure.h"

#include "platform/FileOps.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

namespace updater {

namespace {

constexpr unsigned char Rar5Signature[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};
constexpr unsigned char Rar4Signature[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};

// A header longer than this is damage, not data: the format keeps headers small.
constexpr uint64_t LargestHeader = 2 * 1024 * 1024;

// Reads the archive's headers through one window of its bytes. Headers of small entries sit close
// together, so one read serves hundreds of them; a seek and a read per header would cost two
// system calls for each entry of an archive of thousands of files.
class HeaderReader
{
public:
    HeaderReader(const ReadableFile& file, uint64_t fileSize) : m_file(file), m_fileSize(fileSize) {}

    bool read(uint64_t offset, unsigned char* out, size_t size)
    {
        if (size > sizeof m_window || offset > m_fileSize || size > m_fileSize - offset)
            return false;
        if (offset < m_windowStart || offset + size > m_windowStart + m_windowSize) {
            const size_t wanted =
                static_cast<size_t>(std::min<uint64_t>(sizeof m_window, m_fileSize - offset));
            const size_t got = m_file.readAt(offset, m_window, wanted);
            m_windowStart = offset;
            m_windowSize = got;
            if (got < size)
                return false;
        }
        std::memcpy(out, m_window + (offset - m_windowStart), size);
        return true;
    }

private:
    const ReadableFile& m_file;
    uint64_t m_fileSize;
    uint64_t m_windowStart = 0;
    size_t m_windowSize = 0;
    unsigned char m_window[64 * 1024];
};

// A variable-length integer of the RAR 5 format: seven bits a byte, lowest first.
std::optional<uint64_t> readVint(const unsigned char* bytes, size_t size, size_t& pos)
{
    uint64_t value = 0;
    for (int shift = 0; pos < size && shift < 64; shift += 7) {
        const unsigned char byte = bytes[pos++];
        value |= uint64_t(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            return value;
    }
    return std::nullopt;
}

uint32_t readLittle32(const unsigned char* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

bool walkRar5(HeaderReader& file, uint64_t fileSize)
{
    constexpr uint64_t EncryptionHeader = 4, EndOfArchive = 5;
    uint64_t pos = sizeof Rar5Signature;
    for (;;) {
        // CRC32, the header size (a variable-length integer of at most three bytes), then the type,
        // flags, extra area size and data size: all within the first bytes, read in one go.
        unsigned char chunk[64];
        const size_t got = static_cast<size_t>(std::min<uint64_t>(sizeof chunk, fileSize - pos));
        if (pos >= fileSize || got < 7 || !file.read(pos, chunk, got))
            return false;
        size_t at = 4;
        const auto headerSize = readVint(chunk, 7, at);
        if (!headerSize || *headerSize == 0 || *headerSize > LargestHeader)
            return false;
        const uint64_t headerEnd = pos + at + *headerSize;
        if (headerEnd > fileSize)
            return false;
        const size_t fieldsEnd = static_cast<size_t>(std::min<uint64_t>(got, at + *headerSize));
        size_t field = at;
        const auto type = readVint(chunk, fieldsEnd, field);
        const auto flags = readVint(chunk, fieldsEnd, field);
        if (!type || !flags)
            return false;
        if (*type == EndOfArchive)
            return true;
        if (*type == EncryptionHeader)
            return false;
        if (*flags & 0x0001 && !readVint(chunk, fieldsEnd, field))
            return false;
        uint64_t dataSize = 0;
        if (*flags & 0x0002) {
            const auto size = readVint(chunk, fieldsEnd, field);
            if (!size)
                return false;
            dataSize = *size;
        }
        if (dataSize > fileSize - headerEnd)
            return false;
        pos = headerEnd + dataSize;
    }
}

bool walkRar4(HeaderReader& file, uint64_t fileSize)
{
    constexpr unsigned char ArchiveHeader = 0x73, FileHeader = 0x74, ServiceHeader = 0x7A,
                            EndOfArchive = 0x7B;
    constexpr unsigned EncryptedHeaders = 0x0080, LongBlock = 0x8000, LargeFile = 0x0100;
    uint64_t pos = sizeof Rar4Signature;
    for (;;) {
        // CRC (2), type (1), flags (2), header size (2), then for long blocks the data size.
        unsigned char base[11] = {};
        if (pos + 7 > fileSize || !file.read(pos, base, std::min<uint64_t>(sizeof base, fileSize - pos)))
            return false;
        const unsigned char type = base[2];
        const unsigned flags = base[3] | base[4] << 8;
        const unsigned headerSize = base[5] | base[6] << 8;
        if (headerSize < 7 || pos + headerSize > fileSize)
            return false;
        if (type == EndOfArchive)
            return true;
        if (type == ArchiveHeader && flags & EncryptedHeaders)
            return false;
        uint64_t dataSize = 0;
        if (flags & LongBlock) {
            if (headerSize < 11)
                return false;
            dataSize = readLittle32(base + 7);
            if ((type == FileHeader || type == ServiceHeader) && flags & LargeFile) {
                unsigned char high[4];
                if (headerSize < 36 || !file.read(pos + 32, high, sizeof high))
                    return false;
                dataSize |= uint64_t(readLittle32(high)) << 32;
            }
        }
        if (dataSize > fileSize - pos - headerSize)
            return false;
        pos += headerSize + dataSize;
    }
}

} // namespace

bool reachesEndOfArchive(const std::string& path)
{
    const ReadableFile file(path);
    bool whole = false;
    if (const auto size = file.size()) {
        const uint64_t fileSize = *size;
        auto reader = std::make_unique<HeaderReader>(file, fileSize);
        unsigned char signature[sizeof Rar5Signature] = {};
        if (fileSize >= sizeof Rar5Signature && reader->read(0, signature, sizeof Rar5Signature) &&
            std::memcmp(signature, Rar5Signature, sizeof Rar5Signature) == 0)
            whole = walkRar5(*reader, fileSize);
        else if (fileSize >= sizeof Rar4Signature && reader->read(0, signature, sizeof Rar4Signature) &&
                 std::memcmp(signature, Rar4Signature, sizeof Rar4Signature) == 0)
            whole = walkRar4(*reader, fileSize);
    }
    return whole;
}

} // namespace updater
