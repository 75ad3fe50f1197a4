#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace updater {

// The bytes one shared download had from web seeds, added up from the counters of its
// connections. libtorrent counts per connection, and a web seed's connection is made again after
// every refusal (a busy origin), starting from zero: a counter that falls is a new connection, and
// what the old one had is kept.
class SwarmBytes
{
public:
    // The present counter of the connection named `connection`.
    void seen(const std::string& connection, uint64_t bytes);
    uint64_t total() const;

private:
    struct Counter
    {
        uint64_t earlier = 0; // of the connections before
        uint64_t last = 0;
    };
    std::map<std::string, Counter> m_connections;
};

} // namespace updater
