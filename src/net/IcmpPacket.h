#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace updater {

// What kind of answer an echo got.
enum class ReplyKind : uint8_t { Echo = 0, Error = 1, TimedOut = 2, Unreachable = 3, TtlExceeded = 4 };

// The record of one echo, handed to the reply handler.
struct ReplyStatus
{
    int32_t receivedBytes = 0;             // answer length, IP header included; 0: no answer in time
    std::string sourceAddress = "0.0.0.0"; // sender of the answer
    uint8_t messageType = 0;               // ICMP type of the answer
    uint16_t sequence = 0;                 // sequence field of the answer (next sequence on time-out)
    uint32_t roundTripMs = 0;              // now minus the tick count the answer echoes
    uint8_t ttl = 0;                       // time-to-live of the answer's IP header
    ReplyKind replyKind = ReplyKind::TimedOut;
};

inline constexpr size_t EchoRequestSize = 52;
using EchoRequest = std::array<uint8_t, EchoRequestSize>;

// The Internet checksum of RFC 1071, as stored in the packet (its bytes in memory order).
uint16_t internetChecksum(const uint8_t* data, size_t size);

// The echo request: type 8, code 0, checksum, then identifier, sequence and tick count in
// little-endian order, 12 zero bytes and 32 times 'E'.
EchoRequest buildEchoRequest(uint16_t identifier, uint16_t sequence, uint32_t tickCount);

// Milliseconds of a monotonic clock, cut to 32 bits (the platform's tick count).
uint32_t tickCount();

// Reads one received datagram into `status`. `ipHeaderIncluded` is true for a raw socket; for a
// datagram socket the kernel has removed the IP header and `ipHeaderIncluded` is false (the caller
// then fills the source and the time-to-live). Raises IcmpError for a datagram shorter than its IP
// header plus 8 bytes and for an ICMP type other than 0, 8, 3 and 11.
void readEchoAnswer(const uint8_t* datagram, size_t size, bool ipHeaderIncluded, uint32_t nowTick,
                    ReplyStatus& status);

// Whether a datagram seen on a raw socket concerns `request`, sent to `target` (network order).
// A raw socket receives every ICMP message of the host: other programs' traffic, the requests we
// send ourselves, and the answers to the other monitor. Only the echo reply that echoes our
// identifier, sequence and tick count from the host we asked, or an error message quoting our
// request, is our answer. Messages of other types are left to readEchoAnswer (which refuses them).
// The datagram must hold its IP header plus 8 bytes.
bool concernsRequest(const uint8_t* datagram, size_t size, const EchoRequest& request, uint32_t target);

// Offset of the ICMP message inside a raw datagram (IP header length), 0 when it cannot be read.
size_t icmpOffset(const uint8_t* datagram, size_t size);

uint16_t readLittleEndian16(const uint8_t* bytes);
uint32_t readLittleEndian32(const uint8_t* bytes);

} // namespace updater
