#pragma once

#include "net/IPv4Address.h"

#include <optional>
#include <string>

namespace updater {

// The host-name look-up of the server watches. Keeps no state; safe on any thread.
//   ""                     -> 0.0.0.0
//   starts with a digit    -> the address when the text is a dotted IPv4 address, else nothing
//   anything else          -> the first IPv4 address of the name, nothing when it has none
std::optional<IPv4Address> lookUpHost(const std::string& host);

// True for exactly four dot-separated decimal parts of 0..255 without leading zeros.
bool isDottedIPv4(const std::string& text);

// The address the echo and the probe go to. "LOCALHOST" in any letter case is 127.0.0.1, a dotted
// address is used as it is, anything else is resolved; a failure raises NetworkError.
IPv4Address resolveIPv4(const std::string& host);

} // namespace updater
