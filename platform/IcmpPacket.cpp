#include "platform/IcmpPacket.h"

#include "platform/IcmpStatus.h"

#include <cstring>

namespace IcmpPacket {

namespace {

constexpr std::uint8_t ProtocolIcmp = 1;
constexpr std::size_t MinIpHeaderSize = 20;

std::uint16_t readBe16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

// Addresses stay in network byte order, so they are copied as bytes rather than assembled.
std::uint32_t readAddress(const std::uint8_t* p)
{
    std::uint32_t address;
    std::memcpy(&address, p, sizeof address);
    return address;
}

struct IpHeader {
    std::size_t headerSize = 0;
    std::size_t totalSize = 0;
    std::uint8_t protocol = 0;
    std::uint8_t ttl = 0;
    bool fragment = false; // not the first piece, or more pieces follow: the ICMP header is not (all) here
    std::uint32_t source = 0;
    std::uint32_t destination = 0;
};

std::optional<IpHeader> readIpHeader(const std::uint8_t* data, std::size_t size)
{
    if (size < MinIpHeaderSize || (data[0] >> 4) != 4)
        return std::nullopt;
    IpHeader ip;
    ip.headerSize = static_cast<std::size_t>(data[0] & 0x0F) * 4;
    if (ip.headerSize < MinIpHeaderSize || ip.headerSize > size)
        return std::nullopt;
    ip.totalSize = readBe16(data + 2);
    const std::uint16_t fragmentField = readBe16(data + 6);
    ip.fragment = (fragmentField & 0x3FFF) != 0; // offset bits and "more fragments"
    ip.ttl = data[8];
    ip.protocol = data[9];
    ip.source = readAddress(data + 12);
    ip.destination = readAddress(data + 16);
    return ip;
}

bool isErrorType(std::uint8_t type)
{
    return type == TypeDestUnreachable || type == TypeSourceQuench || type == TypeTimeExceeded ||
           type == TypeParameterProblem;
}

} // namespace

std::uint16_t internetChecksum(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < size; i += 2)
        sum += readBe16(data + i);
    if (i < size)
        sum += static_cast<std::uint32_t>(data[i]) << 8; // an odd last byte is padded with zero
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::vector<std::uint8_t> buildEcho(std::uint8_t type, std::uint16_t id, std::uint16_t sequence,
                                    const std::uint8_t* payload, std::size_t payloadSize)
{
    std::vector<std::uint8_t> packet(HeaderSize + payloadSize, 0);
    packet[0] = type;
    packet[1] = 0;
    packet[4] = static_cast<std::uint8_t>(id >> 8);
    packet[5] = static_cast<std::uint8_t>(id);
    packet[6] = static_cast<std::uint8_t>(sequence >> 8);
    packet[7] = static_cast<std::uint8_t>(sequence);
    if (payloadSize > 0)
        std::memcpy(packet.data() + HeaderSize, payload, payloadSize);
    const std::uint16_t checksum = internetChecksum(packet.data(), packet.size());
    packet[2] = static_cast<std::uint8_t>(checksum >> 8);
    packet[3] = static_cast<std::uint8_t>(checksum);
    return packet;
}

std::optional<QuotedEcho> parseQuotedEcho(const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr || size < HeaderSize || data[0] != TypeEchoRequest)
        return std::nullopt;
    return QuotedEcho{readBe16(data + 4), readBe16(data + 6)};
}

std::optional<Message> parse(const std::uint8_t* data, std::size_t size, Framing framing)
{
    if (data == nullptr)
        return std::nullopt;
    Message message;
    std::size_t begin = 0;
    std::size_t end = size;
    if (framing == Framing::IpHeader) {
        const auto ip = readIpHeader(data, size);
        if (!ip || ip->protocol != ProtocolIcmp || ip->fragment)
            return std::nullopt;
        // Anything past the total length is link padding; a total length past the buffer means a cut-off packet.
        if (ip->totalSize < ip->headerSize || ip->totalSize > size)
            return std::nullopt;
        begin = ip->headerSize;
        end = ip->totalSize;
        message.source = ip->source;
        message.destination = ip->destination;
        message.ttl = ip->ttl;
    }
    const std::uint8_t* icmp = data + begin;
    const std::size_t icmpSize = end - begin;
    if (icmpSize < HeaderSize || internetChecksum(icmp, icmpSize) != 0)
        return std::nullopt;

    message.type = icmp[0];
    message.code = icmp[1];
    if (message.type == TypeEchoReply || message.type == TypeEchoRequest) {
        message.kind = message.type == TypeEchoReply ? Kind::EchoReply : Kind::EchoRequest;
        message.id = readBe16(icmp + 4);
        message.sequence = readBe16(icmp + 6);
        message.payloadOffset = begin + HeaderSize;
        message.payloadSize = icmpSize - HeaderSize;
        return message;
    }
    if (!isErrorType(message.type))
        return message; // Kind::Other

    // An error quotes the original IPv4 header (its own length, options included) and at least the first eight bytes
    // of what followed it. The quoted total length describes the original datagram, not the quote, so it is not used.
    const std::uint8_t* quoted = icmp + HeaderSize;
    const std::size_t quotedSize = icmpSize - HeaderSize;
    const auto original = readIpHeader(quoted, quotedSize);
    if (!original)
        return std::nullopt;
    if (original->protocol != ProtocolIcmp || (readBe16(quoted + 6) & 0x1FFF) != 0)
        return message; // about another protocol, or about a later fragment that carries no ICMP header
    const auto echo = parseQuotedEcho(quoted + original->headerSize, quotedSize - original->headerSize);
    if (!echo) {
        if (quotedSize - original->headerSize < HeaderSize)
            return std::nullopt; // the quote is cut short
        return message;          // about some other ICMP message
    }
    message.kind = Kind::Error;
    message.id = echo->id;
    message.sequence = echo->sequence;
    message.originalDestination = original->destination;
    return message;
}

std::uint32_t statusFor(std::uint8_t type, std::uint8_t code)
{
    switch (type) {
    case TypeEchoReply:
        return IcmpStatus::Success;
    case TypeDestUnreachable:
        switch (code) {
        case 0:  // net unreachable
        case 6:  // destination network unknown
        case 11: // network unreachable for this type of service
            return IcmpStatus::DestNetUnreachable;
        case 1:  // host unreachable
        case 7:  // destination host unknown
        case 12: // host unreachable for this type of service
            return IcmpStatus::DestHostUnreachable;
        case 2:
            return IcmpStatus::DestProtocolUnreachable;
        case 3:
            return IcmpStatus::DestPortUnreachable;
        case 4: // fragmentation needed and "don't fragment" set
            return IcmpStatus::PacketTooBig;
        case 5: // source route failed
            return IcmpStatus::BadRoute;
        case 9:  // network administratively prohibited
        case 10: // host administratively prohibited
        case 13: // communication administratively prohibited
            // The status vocabulary has no IPv4 "prohibited" entry; to the user a filtered destination is a host
            // that cannot be reached, which is what the program reports for it.
            return IcmpStatus::DestHostUnreachable;
        default:
            return IcmpStatus::DestHostUnreachable;
        }
    case TypeSourceQuench:
        return IcmpStatus::SourceQuench;
    case TypeTimeExceeded:
        return code == 1 ? IcmpStatus::TtlExpiredReassembly : IcmpStatus::TtlExpiredTransit;
    case TypeParameterProblem:
        return IcmpStatus::ParameterProblem;
    default:
        return IcmpStatus::GeneralFailure;
    }
}

} // namespace IcmpPacket
