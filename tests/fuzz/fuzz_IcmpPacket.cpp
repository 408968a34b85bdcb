// Received packets from both socket paths, and the quote an error carries; then an echo built from the same bytes
// must read back as it was built.
#include "platform/IcmpPacket.h"

#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>

using namespace IcmpPacket;

namespace {

void checkMessage(const std::optional<Message>& m, std::size_t size)
{
    if (!m)
        return;
    // The socket code copies the echoed data from these offsets, so they must stay inside what was received.
    FUZZ_CHECK(m->payloadOffset <= size);
    FUZZ_CHECK(m->payloadSize <= size - m->payloadOffset);
    if (m->kind == Kind::EchoReply || m->kind == Kind::EchoRequest)
        FUZZ_CHECK(m->payloadOffset >= HeaderSize);
    statusFor(m->type, m->code);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    checkMessage(parse(data, size, Framing::IpHeader), size);
    checkMessage(parse(data, size, Framing::IcmpHeader), size);
    FUZZ_CHECK(!parseQuotedEcho(data, size) || (size >= HeaderSize && data[0] == TypeEchoRequest));

    if (size < 5)
        return 0;
    const std::uint8_t type = (data[0] & 1) ? TypeEchoRequest : TypeEchoReply;
    const auto id = static_cast<std::uint16_t>((data[1] << 8) | data[2]);
    const auto sequence = static_cast<std::uint16_t>((data[3] << 8) | data[4]);
    const std::vector<std::uint8_t> packet = buildEcho(type, id, sequence, data + 5, size - 5);
    FUZZ_CHECK(internetChecksum(packet.data(), packet.size()) == 0);
    const auto echo = parse(packet.data(), packet.size(), Framing::IcmpHeader);
    FUZZ_CHECK(echo);
    FUZZ_CHECK(echo->kind == (type == TypeEchoRequest ? Kind::EchoRequest : Kind::EchoReply));
    FUZZ_CHECK(echo->id == id && echo->sequence == sequence);
    FUZZ_CHECK(echo->payloadOffset == HeaderSize && echo->payloadSize == size - 5);
    return 0;
}
