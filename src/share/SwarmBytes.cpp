#include "share/SwarmBytes.h"

namespace updater {

void SwarmBytes::seen(const std::string& connection, uint64_t bytes)
{
    Counter& counter = m_connections[connection];
    if (bytes < counter.last)
        counter.earlier += counter.last;
    counter.last = bytes;
}

uint64_t SwarmBytes::total() const
{
    uint64_t sum = 0;
    for (const auto& [name, counter] : m_connections)
        sum += counter.earlier + counter.last;
    return sum;
}

} // namespace updater
