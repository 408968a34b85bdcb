#include "platform/IcmpPacket.h"
#include "platform/IcmpStatus.h"
#include "tests/support/NetnsLab.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace IcmpPacket;

namespace {

// Packets as they come off the wire, written out by hand (checksums computed independently of the code under test).
// Addresses: client 198.18.0.1, router 198.18.0.2, target 198.18.1.2.

// Echo reply from the target, id 0x1234, sequence 7, data "abcdefgh", TTL 63, behind a plain IPv4 header.
const std::vector<std::uint8_t> kEchoReplyRaw = {
    0x45, 0x00, 0x00, 0x24, 0x12, 0x34, 0x00, 0x00, 0x3f, 0x01, 0xdc, 0x7d, 0xc6, 0x12, 0x01, 0x02, 0xc6, 0x12,
    0x00, 0x01, 0x00, 0x00, 0x5c, 0x2f, 0x12, 0x34, 0x00, 0x07, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68,
};

// The same reply behind a 24-byte IP header (four bytes of options).
const std::vector<std::uint8_t> kEchoReplyRawWithOptions = {
    0x46, 0x00, 0x00, 0x28, 0x12, 0x34, 0x00, 0x00, 0x3f, 0x01, 0xd9, 0x78, 0xc6, 0x12,
    0x01, 0x02, 0xc6, 0x12, 0x00, 0x01, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x5c, 0x2f,
    0x12, 0x34, 0x00, 0x07, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68,
};

// The same reply as a datagram socket delivers it: no IP header.
const std::vector<std::uint8_t> kEchoReplyDatagram = {
    0x00, 0x00, 0x5c, 0x2f, 0x12, 0x34, 0x00, 0x07, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68,
};

// Our echo request to the target, id 0x1234, sequence 9.
const std::vector<std::uint8_t> kEchoRequestRaw = {
    0x45, 0x00, 0x00, 0x24, 0x12, 0x34, 0x00, 0x00, 0x40, 0x01, 0xdb, 0x7d, 0xc6, 0x12, 0x00, 0x01, 0xc6, 0x12,
    0x01, 0x02, 0x08, 0x00, 0x54, 0x2d, 0x12, 0x34, 0x00, 0x09, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68,
};

// The router's time-exceeded for that request, quoting its IP header and first eight ICMP bytes.
const std::vector<std::uint8_t> kTimeExceededRaw = {
    0x45, 0x00, 0x00, 0x38, 0x12, 0x34, 0x00, 0x00, 0x40, 0x01, 0xdc, 0x69, 0xc6, 0x12, 0x00, 0x02, 0xc6, 0x12, 0x00,
    0x01, 0x0b, 0x00, 0x86, 0x95, 0x00, 0x00, 0x00, 0x00, 0x45, 0x00, 0x00, 0x24, 0x12, 0x34, 0x00, 0x00, 0x01, 0x01,
    0x1a, 0x7e, 0xc6, 0x12, 0x00, 0x01, 0xc6, 0x12, 0x01, 0x02, 0x08, 0x00, 0x54, 0x2d, 0x12, 0x34, 0x00, 0x09,
};

// Host unreachable from the router about a request to 198.19.1.5 (id 0xbeef, sequence 0x0102) whose IP header
// had options.
const std::vector<std::uint8_t> kHostUnreachableQuotingOptionsRaw = {
    0x45, 0x00, 0x00, 0x3c, 0x12, 0x34, 0x00, 0x00, 0x40, 0x01, 0xdc, 0x65, 0xc6, 0x12, 0x00,
    0x02, 0xc6, 0x12, 0x00, 0x01, 0x03, 0x01, 0xef, 0x78, 0x00, 0x00, 0x00, 0x00, 0x46, 0x00,
    0x00, 0x23, 0x12, 0x34, 0x00, 0x00, 0x3f, 0x01, 0xd9, 0x79, 0xc6, 0x12, 0x00, 0x01, 0xc6,
    0x13, 0x01, 0x05, 0x01, 0x01, 0x01, 0x00, 0x08, 0x00, 0x45, 0x94, 0xbe, 0xef, 0x01, 0x02,
};

// Time exceeded about a UDP probe (as traceroute sends), which no echo waits for.
const std::vector<std::uint8_t> kTimeExceededForUdpRaw = {
    0x45, 0x00, 0x00, 0x38, 0x12, 0x34, 0x00, 0x00, 0x40, 0x01, 0xdc, 0x69, 0xc6, 0x12, 0x00, 0x02, 0xc6, 0x12, 0x00,
    0x01, 0x0b, 0x00, 0xd6, 0x14, 0x00, 0x00, 0x00, 0x00, 0x45, 0x00, 0x00, 0x24, 0x12, 0x34, 0x00, 0x00, 0x01, 0x11,
    0x1a, 0x6e, 0xc6, 0x12, 0x00, 0x01, 0xc6, 0x12, 0x01, 0x02, 0x9c, 0x40, 0x82, 0x9a, 0x00, 0x10, 0x00, 0x00,
};

// A timestamp reply (type 14).
const std::vector<std::uint8_t> kTimestampReplyDatagram = {
    0x0e, 0x00, 0xf1, 0xfc, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

std::string payloadOf(const std::vector<std::uint8_t>& packet, const Message& m)
{
    return std::string(packet.begin() + static_cast<long>(m.payloadOffset),
                       packet.begin() + static_cast<long>(m.payloadOffset + m.payloadSize));
}

std::optional<Message> parseRaw(const std::vector<std::uint8_t>& packet)
{
    return parse(packet.data(), packet.size(), Framing::IpHeader);
}

// After a test edits a packet, its ICMP checksum is made right again so only the edit itself is judged.
void resealIcmp(std::vector<std::uint8_t>& packet, std::size_t icmpOffset)
{
    packet[icmpOffset + 2] = 0;
    packet[icmpOffset + 3] = 0;
    const std::uint16_t sum = internetChecksum(packet.data() + icmpOffset, packet.size() - icmpOffset);
    packet[icmpOffset + 2] = static_cast<std::uint8_t>(sum >> 8);
    packet[icmpOffset + 3] = static_cast<std::uint8_t>(sum);
}

// A heap copy of exactly `size` bytes, so the address sanitizer catches any read past the end.
std::unique_ptr<std::uint8_t[]> exactCopy(const std::vector<std::uint8_t>& packet, std::size_t size)
{
    auto copy = std::make_unique<std::uint8_t[]>(size == 0 ? 1 : size);
    std::copy(packet.begin(), packet.begin() + static_cast<long>(size), copy.get());
    return copy;
}

} // namespace

TEST(IcmpPacketTest, ChecksumFollowsRfc1071)
{
    // The worked example of RFC 1071: the sum is 0xddf2, so the checksum is its complement.
    const std::uint8_t words[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    EXPECT_EQ(internetChecksum(words, sizeof words), 0x220d);
    // An odd last byte counts as the high half of a word.
    const std::uint8_t odd[] = {0x12, 0x34, 0x56};
    EXPECT_EQ(internetChecksum(odd, sizeof odd), static_cast<std::uint16_t>(~(0x1234 + 0x5600)));
    EXPECT_EQ(internetChecksum(nullptr, 0), 0xffff);
    // Over a sealed message the checksum comes out as zero.
    EXPECT_EQ(internetChecksum(kEchoReplyDatagram.data(), kEchoReplyDatagram.size()), 0);
}

TEST(IcmpPacketTest, BuildsEchoMessagesByteForByte)
{
    const std::string data = "abcdefgh";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    EXPECT_EQ(buildEcho(TypeEchoReply, 0x1234, 7, bytes, data.size()), kEchoReplyDatagram);
    const auto request = buildEcho(TypeEchoRequest, 0x1234, 9, bytes, data.size());
    EXPECT_EQ(request, std::vector<std::uint8_t>(kEchoRequestRaw.begin() + 20, kEchoRequestRaw.end()));

    const auto empty = buildEcho(TypeEchoRequest, 0xffff, 0xfffe, nullptr, 0);
    ASSERT_EQ(empty.size(), HeaderSize);
    EXPECT_EQ(empty[4], 0xff);
    EXPECT_EQ(empty[7], 0xfe);
    EXPECT_EQ(internetChecksum(empty.data(), empty.size()), 0);

    const std::uint8_t three[] = {1, 2, 3};
    const auto odd = buildEcho(TypeEchoRequest, 1, 2, three, sizeof three);
    EXPECT_EQ(odd.size(), HeaderSize + 3);
    EXPECT_EQ(internetChecksum(odd.data(), odd.size()), 0);
}

TEST(IcmpPacketTest, ReadsEchoReplyBehindIpHeader)
{
    const auto m = parseRaw(kEchoReplyRaw);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->kind, Kind::EchoReply);
    EXPECT_EQ(m->type, TypeEchoReply);
    EXPECT_EQ(m->source, ipv4("198.18.1.2"));
    EXPECT_EQ(m->destination, ipv4("198.18.0.1"));
    EXPECT_EQ(m->ttl, 63);
    EXPECT_EQ(m->id, 0x1234);
    EXPECT_EQ(m->sequence, 7);
    EXPECT_EQ(m->payloadOffset, 28u);
    EXPECT_EQ(payloadOf(kEchoReplyRaw, *m), "abcdefgh");
    EXPECT_EQ(statusFor(m->type, m->code), IcmpStatus::Success);
}

TEST(IcmpPacketTest, HonoursIpHeaderLength)
{
    const auto m = parseRaw(kEchoReplyRawWithOptions);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->kind, Kind::EchoReply);
    EXPECT_EQ(m->payloadOffset, 32u);
    EXPECT_EQ(m->sequence, 7);
    EXPECT_EQ(payloadOf(kEchoReplyRawWithOptions, *m), "abcdefgh");
}

TEST(IcmpPacketTest, ReadsEchoReplyWithoutIpHeader)
{
    const auto m = parse(kEchoReplyDatagram.data(), kEchoReplyDatagram.size(), Framing::IcmpHeader);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->kind, Kind::EchoReply);
    EXPECT_EQ(m->source, 0u); // unknown without the IP header
    EXPECT_EQ(m->id, 0x1234);
    EXPECT_EQ(m->sequence, 7);
    EXPECT_EQ(m->payloadOffset, 8u);
    EXPECT_EQ(payloadOf(kEchoReplyDatagram, *m), "abcdefgh");
}

TEST(IcmpPacketTest, ReadsEchoRequest)
{
    const auto m = parseRaw(kEchoRequestRaw);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->kind, Kind::EchoRequest);
    EXPECT_EQ(m->source, ipv4("198.18.0.1"));
    EXPECT_EQ(m->destination, ipv4("198.18.1.2"));
    EXPECT_EQ(m->id, 0x1234);
    EXPECT_EQ(m->sequence, 9);
    EXPECT_EQ(payloadOf(kEchoRequestRaw, *m), "abcdefgh");
}

TEST(IcmpPacketTest, IgnoresPaddingPastTotalLength)
{
    auto padded = kEchoReplyRaw;
    padded.insert(padded.end(), 10, 0xee);
    const auto m = parseRaw(padded);
    ASSERT_TRUE(m);
    EXPECT_EQ(payloadOf(padded, *m), "abcdefgh");
}

TEST(IcmpPacketTest, ReadsTimeExceededQuotingOurRequest)
{
    const auto m = parseRaw(kTimeExceededRaw);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->kind, Kind::Error);
    EXPECT_EQ(m->type, TypeTimeExceeded);
    EXPECT_EQ(m->code, 0);
    EXPECT_EQ(m->source, ipv4("198.18.0.2"));
    EXPECT_EQ(m->id, 0x1234);
    EXPECT_EQ(m->sequence, 9);
    EXPECT_EQ(m->originalDestination, ipv4("198.18.1.2"));
    EXPECT_EQ(statusFor(m->type, m->code), IcmpStatus::TtlExpiredTransit);
}

TEST(IcmpPacketTest, HonoursQuotedIpHeaderLength)
{
    const auto m = parseRaw(kHostUnreachableQuotingOptionsRaw);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->kind, Kind::Error);
    EXPECT_EQ(m->type, TypeDestUnreachable);
    EXPECT_EQ(m->code, 1);
    EXPECT_EQ(m->id, 0xbeef);
    EXPECT_EQ(m->sequence, 0x0102);
    EXPECT_EQ(m->originalDestination, ipv4("198.19.1.5"));
    EXPECT_EQ(statusFor(m->type, m->code), IcmpStatus::DestHostUnreachable);
}

TEST(IcmpPacketTest, ErrorsAboutOtherTrafficAreNotOurs)
{
    const auto udp = parseRaw(kTimeExceededForUdpRaw);
    ASSERT_TRUE(udp);
    EXPECT_EQ(udp->kind, Kind::Other);

    // The same error, but quoting an echo reply instead of a request.
    auto quotingReply = kTimeExceededRaw;
    quotingReply[48] = TypeEchoReply;
    resealIcmp(quotingReply, 20);
    const auto reply = parseRaw(quotingReply);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->kind, Kind::Other);

    // Quoting a fragment that is not the first one: there is no ICMP header in it.
    auto laterFragment = kTimeExceededRaw;
    laterFragment[35] = 0x10;
    resealIcmp(laterFragment, 20);
    const auto fragment = parseRaw(laterFragment);
    ASSERT_TRUE(fragment);
    EXPECT_EQ(fragment->kind, Kind::Other);

    const auto timestamp = parse(kTimestampReplyDatagram.data(), kTimestampReplyDatagram.size(), Framing::IcmpHeader);
    ASSERT_TRUE(timestamp);
    EXPECT_EQ(timestamp->kind, Kind::Other);
    EXPECT_EQ(timestamp->type, 14);
}

TEST(IcmpPacketTest, RejectsMalformedPackets)
{
    struct Case {
        const char* what;
        std::vector<std::uint8_t> packet;
    };
    std::vector<Case> cases;
    const auto edited = [&](const char* what, const std::vector<std::uint8_t>& base, auto edit) {
        auto packet = base;
        edit(packet);
        cases.push_back({what, packet});
    };
    edited("bad ICMP checksum", kEchoReplyRaw, [](auto& p) { p[30] ^= 0x01; });
    edited("IP version 6", kEchoReplyRaw, [](auto& p) { p[0] = 0x65; });
    edited("header length below 20", kEchoReplyRaw, [](auto& p) { p[0] = 0x44; });
    edited("header length past the buffer", kEchoReplyRaw, [](auto& p) { p[0] = 0x4f; });
    edited("total length past the buffer", kEchoReplyRaw, [](auto& p) { p[3] = 0x25; });
    edited("total length inside the header", kEchoReplyRaw, [](auto& p) { p[3] = 0x10; });
    edited("no room for the ICMP header", kEchoReplyRaw, [](auto& p) { p[3] = 0x1b; });
    edited("not ICMP", kEchoReplyRaw, [](auto& p) { p[9] = 17; });
    edited("a later fragment", kEchoReplyRaw, [](auto& p) { p[7] = 0x08; });
    edited("first of several fragments", kEchoReplyRaw, [](auto& p) { p[6] = 0x20; });
    edited("quote without its IP header", kTimeExceededRaw, [](auto& p) {
        p.resize(20 + 8 + 12);
        p[3] = static_cast<std::uint8_t>(p.size());
        resealIcmp(p, 20);
    });
    edited("quote with a bad IP version", kTimeExceededRaw, [](auto& p) {
        p[28] = 0x65;
        resealIcmp(p, 20);
    });
    edited("quote shorter than eight ICMP bytes", kTimeExceededRaw, [](auto& p) {
        p.resize(p.size() - 2);
        p[3] = static_cast<std::uint8_t>(p.size());
        resealIcmp(p, 20);
    });
    edited("quoted header length past the quote", kHostUnreachableQuotingOptionsRaw, [](auto& p) {
        p[28] = 0x4f;
        resealIcmp(p, 20);
    });
    for (const auto& c : cases)
        EXPECT_FALSE(parseRaw(c.packet)) << c.what;

    EXPECT_FALSE(parse(nullptr, 40, Framing::IpHeader));
    EXPECT_FALSE(parse(nullptr, 40, Framing::IcmpHeader));
    auto badDatagram = kEchoReplyDatagram;
    badDatagram.back() ^= 0x40;
    EXPECT_FALSE(parse(badDatagram.data(), badDatagram.size(), Framing::IcmpHeader));
}

TEST(IcmpPacketTest, RejectsEveryTruncation)
{
    for (const auto* fixture : {&kEchoReplyRaw, &kEchoReplyRawWithOptions, &kEchoRequestRaw, &kTimeExceededRaw,
                                &kHostUnreachableQuotingOptionsRaw, &kTimeExceededForUdpRaw}) {
        ASSERT_TRUE(parseRaw(*fixture));
        for (std::size_t size = 0; size < fixture->size(); ++size) {
            const auto copy = exactCopy(*fixture, size);
            EXPECT_FALSE(parse(copy.get(), size, Framing::IpHeader)) << "cut to " << size << " bytes";
        }
    }
    for (std::size_t size = 0; size < HeaderSize; ++size) {
        const auto copy = exactCopy(kEchoReplyDatagram, size);
        EXPECT_FALSE(parse(copy.get(), size, Framing::IcmpHeader)) << "cut to " << size << " bytes";
    }
}

TEST(IcmpPacketTest, SurvivesRandomDamage)
{
    // Whatever the damage, a result never points outside the input (and the sanitizer build sees every read).
    std::mt19937 random(12345);
    const std::vector<const std::vector<std::uint8_t>*> fixtures = {
        &kEchoReplyRaw, &kEchoReplyRawWithOptions, &kTimeExceededRaw, &kHostUnreachableQuotingOptionsRaw};
    int parsed = 0;
    for (int round = 0; round < 20000; ++round) {
        auto packet = *fixtures[static_cast<std::size_t>(round) % fixtures.size()];
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i)
            packet[random() % packet.size()] = static_cast<std::uint8_t>(random());
        if (round % 2 == 0)
            resealIcmp(packet, static_cast<std::size_t>(packet[0] & 0x0f) * 4 < packet.size()
                                   ? static_cast<std::size_t>(packet[0] & 0x0f) * 4
                                   : 20);
        const auto size = packet.size() - random() % 3;
        const auto copy = exactCopy(packet, size);
        for (const Framing framing : {Framing::IpHeader, Framing::IcmpHeader}) {
            const auto m = parse(copy.get(), size, framing);
            if (m) {
                ++parsed;
                EXPECT_LE(m->payloadOffset + m->payloadSize, size);
            }
        }
    }
    EXPECT_GT(parsed, 0); // the damage left some packets readable, so the bound above was really checked
}

TEST(IcmpPacketTest, ReadsQuotedEchoHeader)
{
    const std::uint8_t quote[] = {0x08, 0x00, 0x12, 0x34, 0xab, 0xcd, 0x01, 0x02, 0x61};
    const auto echo = parseQuotedEcho(quote, sizeof quote);
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->id, 0xabcd);
    EXPECT_EQ(echo->sequence, 0x0102);
    EXPECT_FALSE(parseQuotedEcho(quote, 7));
    EXPECT_FALSE(parseQuotedEcho(nullptr, 8));
    const std::uint8_t reply[] = {0x00, 0x00, 0x12, 0x34, 0xab, 0xcd, 0x01, 0x02};
    EXPECT_FALSE(parseQuotedEcho(reply, sizeof reply));
}

TEST(IcmpPacketTest, MapsTypeAndCodeToStatus)
{
    struct Row {
        std::uint8_t type;
        std::uint8_t code;
        std::uint32_t status;
    };
    const Row rows[] = {
        {0, 0, IcmpStatus::Success},
        {3, 0, IcmpStatus::DestNetUnreachable},
        {3, 6, IcmpStatus::DestNetUnreachable},
        {3, 11, IcmpStatus::DestNetUnreachable},
        {3, 1, IcmpStatus::DestHostUnreachable},
        {3, 7, IcmpStatus::DestHostUnreachable},
        {3, 12, IcmpStatus::DestHostUnreachable},
        {3, 2, IcmpStatus::DestProtocolUnreachable},
        {3, 3, IcmpStatus::DestPortUnreachable},
        {3, 4, IcmpStatus::PacketTooBig},
        {3, 5, IcmpStatus::BadRoute},
        {3, 9, IcmpStatus::DestHostUnreachable},
        {3, 10, IcmpStatus::DestHostUnreachable},
        {3, 13, IcmpStatus::DestHostUnreachable},
        {3, 8, IcmpStatus::DestHostUnreachable},
        {3, 15, IcmpStatus::DestHostUnreachable},
        {4, 0, IcmpStatus::SourceQuench},
        {11, 0, IcmpStatus::TtlExpiredTransit},
        {11, 1, IcmpStatus::TtlExpiredReassembly},
        {12, 0, IcmpStatus::ParameterProblem},
        {12, 1, IcmpStatus::ParameterProblem},
        {5, 0, IcmpStatus::GeneralFailure},
    };
    for (const auto& row : rows)
        EXPECT_EQ(statusFor(row.type, row.code), row.status) << "type " << int(row.type) << " code " << int(row.code);
}
