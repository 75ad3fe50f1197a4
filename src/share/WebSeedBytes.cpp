#include "share/WebSeedBytes.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace updater {

namespace {

bool isAddress(const std::string& host)
{
    return !host.empty() &&
           (host.front() == '[' || std::all_of(host.begin(), host.end(),
                                               [](unsigned char c) { return std::isdigit(c) || c == '.'; }));
}

} // namespace

WebSeedSenders::WebSeedSenders(const std::vector<std::string>& webSeeds)
{
    for (const std::string& url : webSeeds) {
        const size_t scheme = url.find("://");
        if (scheme == std::string::npos)
            continue;
        const size_t start = scheme + 3;
        const size_t end = url.find_first_of("/?#", start);
        std::string authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
        authority = authority.substr(authority.find('@') == std::string::npos ? 0 : authority.find('@') + 1);
        const size_t bracket = authority.rfind(']');
        const size_t colon = authority.rfind(':');
        Sender sender;
        sender.port = url.compare(0, 8, "https://") == 0 ? 443 : 80;
        std::string host = authority;
        if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
            host = authority.substr(0, colon);
            const std::string digits = authority.substr(colon + 1);
            std::from_chars(digits.data(), digits.data() + digits.size(), sender.port);
        }
        if (host.size() > 1 && host.front() == '[')
            host = host.substr(1, host.size() - 2);
        sender.host = isAddress(host) || host.find(':') != std::string::npos ? host : std::string();
        m_senders.push_back(sender);
    }
}

bool WebSeedSenders::sent(const std::string& address, uint16_t port) const
{
    return std::any_of(m_senders.begin(), m_senders.end(), [&](const Sender& sender) {
        return sender.port == port && (sender.host.empty() || sender.host == address);
    });
}

} // namespace updater
