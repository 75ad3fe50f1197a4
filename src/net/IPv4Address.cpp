#include "net/IPv4Address.h"

#include <cstdio>

namespace updater {

std::string IPv4Address::dotted() const
{
    const auto* b = reinterpret_cast<const unsigned char*>(&m_networkOrder);
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    return text;
}

} // namespace updater
