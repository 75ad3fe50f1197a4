#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace updater {

class StopFlag;

// The CRC-32 that RAR archives and zip files carry, as 8 lowercase hex digits: what the record of
// installed files keeps of each file. An archive's header already holds it for every entry (and
// the archive library proves it while unpacking), so noting it costs nothing; checking a game
// folder computes it at memory speed.
std::string crc32Hex(uint32_t crc);

class Crc32Stream
{
public:
    void add(const char* data, size_t size);
    uint32_t value() const { return m_crc; }

private:
    uint32_t m_crc = 0;
};

// The file's size and CRC-32; nothing when it cannot be read to its end or `stop` (may be null) is
// requested.
struct FileCrc
{
    uint64_t size = 0;
    uint32_t crc = 0;
};
std::optional<FileCrc> crc32File(const std::string& path, const StopFlag* stop = nullptr);

} // namespace updater
