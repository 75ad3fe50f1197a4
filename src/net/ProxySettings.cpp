#include "net/ProxySettings.h"

#include <cstdlib>
#include <initializer_list>

namespace updater {

namespace {

// The first of the variables that is set and not empty.
std::string firstSet(std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (const char* value = std::getenv(name); value && *value)
            return value;
    return {};
}

// The proxy's scheme, host and port, as the log may show them: a proxy named without a scheme is an
// http proxy, as curl reads it, and its user name and password stay out.
std::string shown(const std::string& proxy)
{
    if (proxy.empty())
        return "none";
    const size_t schemeEnd = proxy.find("://");
    const std::string scheme = schemeEnd == std::string::npos ? "http" : proxy.substr(0, schemeEnd);
    const size_t hostStart = schemeEnd == std::string::npos ? 0 : schemeEnd + 3;
    std::string authority = proxy.substr(hostStart, proxy.find('/', hostStart) - hostStart);
    if (const size_t at = authority.rfind('@'); at != std::string::npos)
        authority.erase(0, at + 1);
    return scheme + "://" + authority;
}

} // namespace

const std::string& ProxySettings::forScheme(std::string_view scheme) const
{
    return scheme == "https" ? https : http;
}

std::string ProxySettings::description() const
{
    if (!any())
        return {};
    std::string text = shown(http) + " for http, " + shown(https) + " for https";
    if (!noProxy.empty())
        text += ", not for " + noProxy;
    return text;
}

ProxySettings proxiesFromEnvironment()
{
    const std::string all = firstSet({"all_proxy", "ALL_PROXY"});
    ProxySettings settings;
    settings.http = firstSet({"http_proxy"});
    if (settings.http.empty())
        settings.http = all;
    settings.https = firstSet({"https_proxy", "HTTPS_PROXY"});
    if (settings.https.empty())
        settings.https = all;
    settings.noProxy = firstSet({"no_proxy", "NO_PROXY"});
    return settings;
}

} // namespace updater
