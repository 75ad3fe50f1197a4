#include "net/HttpClient.h"

#include <algorithm>

namespace updater {

std::string documentName(const std::string& url)
{
    std::string address = url;
    std::replace(address.begin(), address.end(), '\\', '/');

    std::string rest = address;
    const auto scheme = address.find("://");
    if (scheme != std::string::npos) {
        // Drop the scheme and the host (with its port); an address with nothing after its host
        // has no document.
        const auto pathStart = address.find('/', scheme + 3);
        if (pathStart == std::string::npos)
            return {};
        rest = address.substr(pathStart + 1);
    }

    const auto lastSlash = rest.find_last_of('/');
    std::string document = lastSlash == std::string::npos ? rest : rest.substr(lastSlash + 1);
    const auto fragment = document.find('#');
    if (fragment != std::string::npos)
        document.erase(fragment);
    return document;
}

} // namespace updater
