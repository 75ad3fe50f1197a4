#include "trust/Crc32.h"

#include "platform/FileOps.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>

namespace updater {

std::string crc32Hex(uint32_t crc)
{
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", crc);
    return hex;
}

void Crc32Stream::add(const char* data, size_t size)
{
    // zlib takes at most 4 GiB a call.
    while (size > 0) {
        const auto piece = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
        m_crc = static_cast<uint32_t>(::crc32(m_crc, reinterpret_cast<const Bytef*>(data), piece));
        data += piece;
        size -= piece;
    }
}

std::optional<FileCrc> crc32File(const std::string& path, const StopFlag* stop)
{
    Crc32Stream crc;
    const std::optional<uint64_t> size =
        readFileInPieces(path, stop, [&](const char* data, size_t size) { crc.add(data, size); });
    if (!size)
        return std::nullopt;
    return FileCrc{*size, crc.value()};
}

} // namespace updater
