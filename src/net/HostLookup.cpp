#include "net/HostLookup.h"

#include "net/NetErrors.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cctype>
#include <cstring>
#include <optional>
#include <strings.h>

namespace updater {

namespace {

// The first IPv4 address the platform's resolver finds for `name`.
std::optional<uint32_t> resolveName(const std::string& name)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (name.empty() || getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return std::nullopt;
    std::optional<uint32_t> address;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET) {
            address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
            break;
        }
    }
    freeaddrinfo(found);
    return address;
}

} // namespace

bool isDottedIPv4(const std::string& text)
{
    int parts = 0;
    size_t i = 0;
    while (true) {
        size_t start = i;
        int value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && i - start < 4)
            value = value * 10 + (text[i++] - '0');
        const size_t digits = i - start;
        // A leading zero would be read as octal by some resolvers: refuse the ambiguity.
        if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && text[start] == '0'))
            return false;
        ++parts;
        if (i == text.size())
            return parts == 4;
        if (text[i] != '.' || parts == 4)
            return false;
        ++i;
    }
}

std::optional<IPv4Address> lookUpHost(const std::string& host)
{
    if (host.empty())
        return IPv4Address(htonl(INADDR_ANY));
    in_addr dotted{};
    if (host[0] >= '0' && host[0] <= '9')
        return isDottedIPv4(host) && inet_pton(AF_INET, host.c_str(), &dotted) == 1
                   ? std::optional(IPv4Address(dotted.s_addr))
                   : std::nullopt;
    const std::optional<uint32_t> address = resolveName(host);
    return address ? std::optional(IPv4Address(*address)) : std::nullopt;
}

IPv4Address resolveIPv4(const std::string& host)
{
    if (strcasecmp(host.c_str(), "LOCALHOST") == 0)
        return IPv4Address(htonl(INADDR_LOOPBACK));
    in_addr dotted{};
    if (isDottedIPv4(host) && inet_pton(AF_INET, host.c_str(), &dotted) == 1)
        return IPv4Address(dotted.s_addr);
    if (const std::optional<uint32_t> address = resolveName(host))
        return IPv4Address(*address);
    throw NetworkError("Host not found: " + host);
}

} // namespace updater
