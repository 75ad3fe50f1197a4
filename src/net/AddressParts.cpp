#include "net/AddressParts.h"

#include <curl/curl.h>

#include <memory>

namespace updater {

namespace {

struct UrlCloser
{
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};

// A part as the parser stored it; nothing when the address has none.
std::optional<std::string> part(CURLU* handle, CURLUPart which)
{
    char* text = nullptr;
    if (curl_url_get(handle, which, &text, 0) != CURLUE_OK || !text)
        return std::nullopt;
    std::string value(text);
    curl_free(text);
    return value;
}

} // namespace

std::optional<AddressParts> splitAddress(std::string_view address, WithoutScheme withoutScheme)
{
    const std::unique_ptr<CURLU, UrlCloser> handle(curl_url());
    // Taken as written: no encoding added or removed, no "." or ".." folded, blanks allowed.
    const unsigned flags = CURLU_ALLOW_SPACE | CURLU_PATH_AS_IS |
                           (withoutScheme == WithoutScheme::Http ? CURLU_DEFAULT_SCHEME : 0u);
    const std::string text(address);
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, text.c_str(), flags) != CURLUE_OK)
        return std::nullopt;
    const std::optional<std::string> scheme = part(handle.get(), CURLUPART_SCHEME);
    const std::optional<std::string> host = part(handle.get(), CURLUPART_HOST);
    if (!scheme || !host)
        return std::nullopt;
    AddressParts parts;
    parts.origin = *scheme + "://" + *host;
    if (const std::optional<std::string> port = part(handle.get(), CURLUPART_PORT))
        parts.origin += ":" + *port;
    parts.path = part(handle.get(), CURLUPART_PATH).value_or("/");
    if (const std::optional<std::string> query = part(handle.get(), CURLUPART_QUERY))
        parts.query = "?" + *query;
    if (const std::optional<std::string> fragment = part(handle.get(), CURLUPART_FRAGMENT))
        parts.fragment = "#" + *fragment;
    parts.credentials = part(handle.get(), CURLUPART_USER) || part(handle.get(), CURLUPART_PASSWORD) ||
                        part(handle.get(), CURLUPART_OPTIONS);
    return parts;
}

} // namespace updater
