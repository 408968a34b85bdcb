#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// ICMPv4 echo messages as plain bytes. Nothing here touches a socket, so every rule about what a packet means can be
// checked with byte fixtures, and the socket code only moves bytes.
namespace IcmpPacket {

constexpr std::uint8_t TypeEchoReply = 0;
constexpr std::uint8_t TypeDestUnreachable = 3;
constexpr std::uint8_t TypeSourceQuench = 4;
constexpr std::uint8_t TypeEchoRequest = 8;
constexpr std::uint8_t TypeTimeExceeded = 11;
constexpr std::uint8_t TypeParameterProblem = 12;

constexpr std::size_t HeaderSize = 8; // type, code, checksum, identifier, sequence

// The internet checksum (RFC 1071) of `size` bytes, as the number to store big-endian in the checksum field. Over a
// message that already carries its checksum the result is 0.
std::uint16_t internetChecksum(const std::uint8_t* data, std::size_t size);

// An echo request (type 8) or echo reply (type 0) with its checksum filled in. `id` and `sequence` are host order.
std::vector<std::uint8_t> buildEcho(std::uint8_t type, std::uint16_t id, std::uint16_t sequence,
                                    const std::uint8_t* payload, std::size_t payloadSize);

enum class Framing {
    IpHeader,   // raw sockets hand over the IPv4 header first
    IcmpHeader, // datagram sockets start at the ICMP header
};

enum class Kind {
    EchoReply,
    EchoRequest,
    Error, // destination unreachable, source quench, time exceeded or parameter problem quoting an echo request
    Other, // well formed, but nothing an echo waits for (other types, errors about other protocols)
};

struct Message {
    Kind kind = Kind::Other;
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    // From the IPv4 header, so only with Framing::IpHeader; addresses in network byte order.
    std::uint32_t source = 0;
    std::uint32_t destination = 0;
    std::uint8_t ttl = 0;
    // Echo request/reply: the message's own identifier and sequence (host order). Error: those of the quoted request.
    std::uint16_t id = 0;
    std::uint16_t sequence = 0;
    std::uint32_t originalDestination = 0; // Error: where the quoted request was going, network byte order
    // Echo request/reply: where the echoed data lies in the input.
    std::size_t payloadOffset = 0;
    std::size_t payloadSize = 0;
};

// Reads one received packet. Returns nothing for input that is truncated, malformed, fails its checksum or is not an
// ICMPv4 message; never reads outside [data, data + size).
std::optional<Message> parse(const std::uint8_t* data, std::size_t size, Framing framing);

struct QuotedEcho {
    std::uint16_t id = 0;
    std::uint16_t sequence = 0;
};

// Reads the first eight bytes of an ICMP header quoted by an error (what the kernel's error queue hands back). Returns
// nothing unless they are there and belong to an echo request. The quote may be cut short, so no checksum is checked.
std::optional<QuotedEcho> parseQuotedEcho(const std::uint8_t* data, std::size_t size);

// The outcome an ICMP message of this type and code means for the echo request it answers.
std::uint32_t statusFor(std::uint8_t type, std::uint8_t code);

} // namespace IcmpPacket
