#pragma once

#include "platform/IcmpStatus.h"

#include <QByteArray>

#include <cstdint>
#include <memory>

// Set "don't fragment" on the request (the classic IP option flag value); without it the request may be fragmented.
constexpr std::uint8_t EchoFlagDontFragment = 0x02;

// One echo request as the caller describes it. Addresses are IPv4 in network byte order, as inet_addr() gives them.
struct EchoRequest {
    std::uint32_t destination = 0;
    QByteArray data;
    std::uint8_t ttl = 255;
    std::uint8_t tos = 0;
    std::uint8_t flags = 0; // EchoFlag* bits
    int timeoutMs = 1000;
};

// The outcome record of one echo. `status` is always set; the other fields only when a reply (an echo reply or an
// ICMP error naming our request) arrived.
struct EchoReply {
    std::uint32_t address = 0; // who answered: the target, or the router that sent time-exceeded/unreachable
    std::uint32_t status = IcmpStatus::GeneralFailure;
    std::uint32_t roundTripMs = 0;
    std::uint16_t dataSize = 0;
    std::uint8_t ttl = 0; // TTL of the answering packet
    QByteArray data;
};

// An open echo handle. Each handle owns its socket; nothing is shared between handles except the sequence counter.
class IcmpEchoHandle {
public:
    virtual ~IcmpEchoHandle() = default;

    // Sends one echo and returns once its outcome is known or the time-out passed. While waiting, pending events of
    // the calling thread's event loop keep running (the window repaints), so callers must guard against re-entry.
    // Returns the number of replies received: 1 for an echo reply or an ICMP error naming this request (the status
    // tells which), 0 when none came (status RequestTimedOut) or the request could not be sent.
    virtual int sendEcho(const EchoRequest& request, EchoReply* reply) = 0;
};

// Where echo handles come from; the probe and the tracer take one so tests can script outcomes.
class IcmpEchoService {
public:
    virtual ~IcmpEchoService() = default;
    virtual std::unique_ptr<IcmpEchoHandle> open() = 0;
};

enum class IcmpSocketMode {
    Auto,     // datagram socket when ping_group_range admits us, else raw
    Datagram, // only the unprivileged ICMP datagram socket
    Raw,      // only the raw socket (root or CAP_NET_RAW)
};

// The real service on Linux ICMP sockets. The returned object lives for the program's run.
IcmpEchoService& systemIcmpEchoService(IcmpSocketMode mode = IcmpSocketMode::Auto);
