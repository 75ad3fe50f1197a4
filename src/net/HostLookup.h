#pragma once

#include <cstdint>
#include <string>

namespace updater {

// The host-name look-up of the server watches. Keeps no state; safe on any thread.
//   ""                     -> "0.0.0.0"
//   starts with a digit    -> the text when it is a dotted IPv4 address, else ""
//   anything else          -> the first IPv4 address of the name as "%d.%d.%d.%d", "" when it has none
std::string lookUpHost(const std::string& host);

// True for exactly four dot-separated decimal parts of 0..255 without leading zeros.
bool isDottedIPv4(const std::string& text);

// The address the echo and the probe go to, in network order. "LOCALHOST" in any letter case is
// 127.0.0.1, a dotted address is used as it is, anything else is resolved; a failure raises
// NetworkError.
uint32_t resolveIPv4(const std::string& host);

// "%d.%d.%d.%d" of an address in network order.
std::string formatIPv4(uint32_t networkOrder);

} // namespace updater
