#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace updater {

// An address taken apart the way the HTTP client's library reads it (curl's URL parser): the one
// place that finds where the host ends, for the document name, the log and the mirrors.
struct AddressParts
{
    std::string origin;       // "scheme://host[:port]", without user name and password; scheme in lower case
    std::string path;         // as written, from its '/' on; "/" when nothing follows the host
    std::string query;        // "?..." as written, "?" for an empty one, "" for none
    std::string fragment;     // "#..." as written, "" for none (or an empty one)
    bool credentials = false; // the address carries a user name or password
};

// What a text without a scheme is: a relative name ("updates/p1.rar", "p1.rar"), or an HTTP address
// with its scheme left out, as the HTTP client reads it ("host/p1.rar").
enum class WithoutScheme { Relative, Http };

// Nothing when the text is no address the parser accepts (a relative name included, see above).
std::optional<AddressParts> splitAddress(std::string_view address, WithoutScheme withoutScheme);

} // namespace updater
