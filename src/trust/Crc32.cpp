#include "trust/Crc32.h"

#include "platform/StopFlag.h"

#include <zlib.h>

#include <cstdio>
#include <memory>

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
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return std::nullopt;
    Crc32Stream crc;
    FileCrc result;
    static thread_local char buffer[256 * 1024];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        if (stop && stop->requested())
            return std::nullopt;
        crc.add(buffer, n);
        result.size += n;
    }
    if (std::ferror(file.get()))
        return std::nullopt;
    result.crc = crc.value();
    return result;
}

} // namespace updater
