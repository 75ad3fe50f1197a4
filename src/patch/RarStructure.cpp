#include "patch/RarStructure.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace updater {

namespace {

struct FileCloser
{
    void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

constexpr unsigned char Rar5Signature[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};
constexpr unsigned char Rar4Signature[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};

// A header longer than this is damage, not data: the format keeps headers small.
constexpr uint64_t LargestHeader = 2 * 1024 * 1024;

bool readAt(FILE* file, uint64_t offset, unsigned char* buffer, size_t size)
{
    return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 &&
           std::fread(buffer, 1, size, file) == size;
}

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

bool walkRar5(FILE* file, uint64_t fileSize)
{
    constexpr uint64_t EncryptionHeader = 4, EndOfArchive = 5;
    uint64_t pos = sizeof Rar5Signature;
    for (;;) {
        // CRC32, the header size (a variable-length integer of at most three bytes), then the type,
        // flags, extra area size and data size: all within the first bytes, read in one go.
        unsigned char chunk[64];
        const size_t got = static_cast<size_t>(std::min<uint64_t>(sizeof chunk, fileSize - pos));
        if (pos >= fileSize || got < 7 || !readAt(file, pos, chunk, got))
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

bool walkRar4(FILE* file, uint64_t fileSize)
{
    constexpr unsigned char ArchiveHeader = 0x73, FileHeader = 0x74, ServiceHeader = 0x7A,
                            EndOfArchive = 0x7B;
    constexpr unsigned EncryptedHeaders = 0x0080, LongBlock = 0x8000, LargeFile = 0x0100;
    uint64_t pos = sizeof Rar4Signature;
    for (;;) {
        // CRC (2), type (1), flags (2), header size (2), then for long blocks the data size.
        unsigned char base[11] = {};
        if (pos + 7 > fileSize || !readAt(file, pos, base, std::min<uint64_t>(sizeof base, fileSize - pos)))
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
                if (headerSize < 36 || !readAt(file, pos + 32, high, sizeof high))
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
    File file(std::fopen(path.c_str(), "rb"));
    if (!file || ::fseeko(file.get(), 0, SEEK_END) != 0)
        return false;
    const off_t end = ::ftello(file.get());
    if (end < 0)
        return false;
    const auto fileSize = static_cast<uint64_t>(end);
    unsigned char signature[sizeof Rar5Signature] = {};
    if (!readAt(file.get(), 0, signature, std::min<uint64_t>(sizeof signature, fileSize)))
        return false;
    if (fileSize >= sizeof Rar5Signature && std::memcmp(signature, Rar5Signature, sizeof Rar5Signature) == 0)
        return walkRar5(file.get(), fileSize);
    if (fileSize >= sizeof Rar4Signature && std::memcmp(signature, Rar4Signature, sizeof Rar4Signature) == 0)
        return walkRar4(file.get(), fileSize);
    return false;
}

} // namespace updater
