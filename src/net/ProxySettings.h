#pragma once

#include <string>

namespace updater {

// The proxies a player behind a company or school proxy names in the usual variables: http_proxy
// for http addresses, https_proxy (or HTTPS_PROXY) for https ones, all_proxy (or ALL_PROXY) for
// either when its own is not set, and no_proxy (or NO_PROXY) for the hosts reached directly. Only
// the lower-case http_proxy counts, as elsewhere: a web server's CGI sets HTTP_PROXY from a request.
struct ProxySettings
{
    std::string http;    // the proxy's address, credentials included; empty: none
    std::string https;   // the same for https addresses
    std::string noProxy; // comma-separated hosts and domains, "*" for all, as curl reads it

    bool any() const { return !http.empty() || !https.empty(); }
    // The proxy for an address of that scheme ("http" or "https"); empty for none.
    const std::string& forScheme(std::string_view scheme) const;
    // What the log says of them, without credentials: "http://host:3128 for http, none for https,
    // not for localhost"; empty when there is no proxy.
    std::string description() const;
};

// Read from the environment now.
ProxySettings proxiesFromEnvironment();

} // namespace updater
