#pragma once

#include <cstdint>
#include <string>

namespace updater {

// An IPv4 address, as the look-up finds it and the echo and the probe go to.
class IPv4Address
{
public:
    explicit IPv4Address(uint32_t networkOrder) : m_networkOrder(networkOrder) {}

    uint32_t networkOrder() const { return m_networkOrder; }
    // "%d.%d.%d.%d", each byte in decimal, in network order.
    std::string dotted() const;

    bool operator==(const IPv4Address&) const = default;

private:
    uint32_t m_networkOrder;
};

} // namespace updater
