#include "net/IcmpPacket.h"

#include "net/IPv4Address.h"
#include "net/NetErrors.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace updater {

namespace {

void writeLittleEndian(uint8_t* target, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        target[i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

uint16_t readLittleEndian16(const uint8_t* bytes)
{
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

uint32_t readLittleEndian32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

uint16_t internetChecksum(const uint8_t* data, size_t size)
{
    // Sum 16-bit words as they lie in memory; the one's complement sum is byte-order independent
    // as long as the result is stored back the same way (RFC 1071, 2(B)).
    uint32_t sum = 0;
    size_t i = 0;
    for (; i + 1 < size; i += 2) {
        uint16_t word;
        std::memcpy(&word, data + i, 2);
        sum += word;
    }
    if (i < size) {
        uint16_t word = 0;
        std::memcpy(&word, data + i, 1);
        sum += word;
    }
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

EchoRequest buildEchoRequest(uint16_t identifier, uint16_t sequence, uint32_t tickCount)
{
    EchoRequest packet{};
    packet[0] = 8; // echo request
    packet[1] = 0;
    writeLittleEndian(&packet[4], identifier, 2);
    writeLittleEndian(&packet[6], sequence, 2);
    writeLittleEndian(&packet[8], tickCount, 4);
    std::fill(packet.begin() + 20, packet.end(), uint8_t('E'));
    const uint16_t checksum = internetChecksum(packet.data(), packet.size());
    std::memcpy(&packet[2], &checksum, 2);
    return packet;
}

uint32_t tickCount()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

size_t icmpOffset(const uint8_t* datagram, size_t size)
{
    if (size < 1)
        return 0;
    return size_t(datagram[0] & 0x0F) * 4;
}

bool concernsRequest(const uint8_t* datagram, size_t size, const EchoRequest& request, uint32_t target)
{
    const size_t offset = icmpOffset(datagram, size);
    const uint8_t* icmp = datagram + offset;
    switch (icmp[0]) {
    case 0: {
        uint32_t source;
        std::memcpy(&source, datagram + 12, 4);
        return source == target && size >= offset + 12 && std::memcmp(icmp + 4, request.data() + 4, 8) == 0;
    }
    case 8:
        return false; // a request is never the answer, whoever sent it
    case 3:
    case 11: {
        // The error quotes the IP header and the first 8 bytes of the datagram it is about.
        const uint8_t* quoted = icmp + 8;
        const size_t quotedSize = size - offset - 8;
        const size_t quotedOffset = icmpOffset(quoted, quotedSize);
        if (quotedOffset < 20 || quotedSize < quotedOffset + 8)
            return true; // too little quoted to tell: take it as ours
        uint32_t destination;
        std::memcpy(&destination, quoted + 16, 4);
        return destination == target && quoted[quotedOffset] == 8 &&
               std::memcmp(quoted + quotedOffset + 4, request.data() + 4, 4) == 0;
    }
    default:
        return true;
    }
}

void readEchoAnswer(const uint8_t* datagram, size_t size, bool ipHeaderIncluded, uint32_t nowTick,
                    ReplyStatus& status)
{
    const size_t offset = ipHeaderIncluded ? icmpOffset(datagram, size) : 0;
    if ((ipHeaderIncluded && offset < 20) || size < offset + 8)
        throw IcmpError("The echo answer is too short.");
    const uint8_t* icmp = datagram + offset;
    switch (icmp[0]) {
    case 0:
    case 8:
        status.replyKind = ReplyKind::Echo;
        break;
    case 3:
        status.replyKind = ReplyKind::Unreachable;
        break;
    case 11:
        status.replyKind = ReplyKind::TtlExceeded;
        break;
    default:
        throw IcmpError("Unexpected ICMP message type " + std::to_string(icmp[0]) + ".");
    }
    status.receivedBytes = static_cast<int32_t>(size);
    status.messageType = icmp[0];
    status.sequence = readLittleEndian16(icmp + 6);
    // Bytes 8-11 lie beyond the 8-byte minimum: an answer without them echoes no tick count.
    status.roundTripMs = size >= offset + 12 ? nowTick - readLittleEndian32(icmp + 8) : 0;
    if (ipHeaderIncluded) {
        uint32_t source;
        std::memcpy(&source, datagram + 12, 4);
        status.sourceAddress = IPv4Address(source).dotted();
        status.ttl = datagram[8];
    }
}

} // namespace updater
