#include "net/AddressParts.h"
#include "net/HttpClient.h"

#include <algorithm>

namespace updater {

std::string documentName(const std::string& url)
{
    std::string address = url;
    std::replace(address.begin(), address.end(), '\\', '/');
    // After the host: the path and the query; a name without a scheme is all path.
    std::string rest = address;
    if (const std::optional<AddressParts> parts = splitAddress(address, WithoutScheme::Relative))
        rest = parts->path + parts->query;
    std::string document = rest.substr(rest.find_last_of('/') + 1);
    const auto fragment = document.find('#');
    if (fragment != std::string::npos)
        document.erase(fragment);
    return document;
}

} // namespace updater
