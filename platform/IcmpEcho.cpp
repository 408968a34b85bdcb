#include "platform/IcmpEcho.h"

#include "platform/EventWait.h"
#include "platform/IcmpPacket.h"

#include <QCoreApplication>
#include <QDebug>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <iterator>
#include <linux/errqueue.h>
#include <linux/filter.h>
#include <linux/icmp.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <optional>
#include <random>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

enum class SocketKind { Datagram, Raw };

// One sequence stream for the whole process, so two handles never wait for the same number. It starts at a random
// point so a restarted program does not reuse the numbers of its predecessor's late replies.
std::atomic<std::uint16_t> g_nextSequence{static_cast<std::uint16_t>(std::random_device{}())};
std::atomic<std::uint16_t> g_nextRawHandle{0};
std::atomic<bool> g_warnedNoSocket{false};

// At most this many queued packets are read before the deadline is looked at again, so a flood of foreign replies
// cannot keep one echo busy past its time-out.
constexpr int MaxReadsPerWakeup = 256;
constexpr std::size_t ReceiveBufferSize = 65536; // the largest IPv4 datagram

struct Channel {
    int fd = -1;
    SocketKind kind = SocketKind::Datagram;
    std::uint16_t id = 0; // raw only: datagram sockets get theirs from the kernel, which also filters replies by it
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(ReceiveBufferSize);

    Channel() = default;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;
    ~Channel()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

void setFlag(int fd, int level, int name)
{
    const int on = 1;
    ::setsockopt(fd, level, name, &on, sizeof on);
}

int openDatagramSocket()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    // Time-exceeded and unreachable errors reach a datagram socket only through its error queue.
    setFlag(fd, SOL_IP, IP_RECVERR);
    setFlag(fd, SOL_IP, IP_RECVTTL);
    setFlag(fd, SOL_SOCKET, SO_TIMESTAMPNS);
    return fd;
}

// Other programs' echo traffic is dropped by the kernel before it is queued: a raw socket sees every ICMP message
// of the host, and under another program's ping flood its receive buffer would overflow and lose our own answer
// among the rest. Kept are messages carrying our identifier and errors quoting a request with it.
void attachIdentifierFilter(int fd, std::uint16_t id)
{
    sock_filter code[] = {
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),                               // X = IPv4 header length
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),                                // A = ICMP identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, id, 10, 0),                       // ours: keep
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),                                // A = ICMP type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, IcmpPacket::TypeEchoReply, 7, 0), // someone else's reply: drop
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 8),                                // an error: A = quoted version/length
        BPF_STMT(BPF_ALU | BPF_AND | BPF_K, 0x0F),
        BPF_STMT(BPF_ALU | BPF_LSH | BPF_K, 2),
        BPF_STMT(BPF_ALU | BPF_ADD | BPF_X, 0),
        BPF_STMT(BPF_MISC | BPF_TAX, 0),                                // X = both IPv4 header lengths
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, IcmpPacket::HeaderSize + 4), // A = identifier of the quoted request
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, id, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, 0),          // drop (also what a read past the packet's end gives)
        BPF_STMT(BPF_RET | BPF_K, 0xFFFFFFFF), // keep all of it
    };
    sock_fprog program{static_cast<unsigned short>(std::size(code)), code};
    // Without the filter, matching in readOne still keeps results right; only a flood could then cost a reply.
    ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program);
}

int openRawSocket(std::uint16_t id)
{
    const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    // Only the types an echo can end with; the echo requests of other pingers (and ours, on loopback) never wake us.
    icmp_filter filter{};
    filter.data = ~((1U << IcmpPacket::TypeEchoReply) | (1U << IcmpPacket::TypeDestUnreachable) |
                    (1U << IcmpPacket::TypeSourceQuench) | (1U << IcmpPacket::TypeTimeExceeded) |
                    (1U << IcmpPacket::TypeParameterProblem));
    ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    attachIdentifierFilter(fd, id);
    setFlag(fd, SOL_SOCKET, SO_TIMESTAMPNS);
    return fd;
}

void warnNoSocketOnce(int datagramError, int rawError)
{
    if (g_warnedNoSocket.exchange(true))
        return;
    const QString program =
        QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QStringLiteral("<path to tvPing>");
    QString reasons;
    if (datagramError != 0)
        reasons += QStringLiteral("ICMP datagram socket: %1").arg(QString::fromLocal8Bit(std::strerror(datagramError)));
    if (rawError != 0) {
        if (!reasons.isEmpty())
            reasons += QStringLiteral("; ");
        reasons += QStringLiteral("raw ICMP socket: %1").arg(QString::fromLocal8Bit(std::strerror(rawError)));
    }
    qWarning().noquote()
        << QStringLiteral("Cannot send ICMP echo requests (%1). Unprivileged ping needs net.ipv4.ping_group_range "
                          "to include your group (e.g. sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"); "
                          "otherwise run as root or grant the raw socket capability: setcap cap_net_raw+ep %2")
               .arg(reasons, program);
}

std::shared_ptr<Channel> openChannel(IcmpSocketMode mode)
{
    auto channel = std::make_shared<Channel>();
    int datagramError = 0;
    int rawError = 0;
    if (mode != IcmpSocketMode::Raw) {
        channel->fd = openDatagramSocket();
        channel->kind = SocketKind::Datagram;
        if (channel->fd >= 0)
            return channel;
        datagramError = errno;
    }
    // Only errors that say "datagram sockets are not for you" send Auto on to the raw socket: EACCES is the
    // ping_group_range check, EPROTONOSUPPORT/ESOCKTNOSUPPORT a kernel built without ICMP sockets, EPERM a security
    // policy refusing them. Running out of descriptors or memory would fail the raw socket just the same.
    const bool tryRaw =
        mode == IcmpSocketMode::Raw ||
        (mode == IcmpSocketMode::Auto && (datagramError == EACCES || datagramError == EPERM ||
                                          datagramError == EPROTONOSUPPORT || datagramError == ESOCKTNOSUPPORT));
    if (tryRaw) {
        // Our own identifier: the process id tells us apart from other programs, the counter our handles apart.
        channel->id = static_cast<std::uint16_t>(::getpid() + 0x3C6F * g_nextRawHandle.fetch_add(1));
        channel->fd = openRawSocket(channel->id);
        channel->kind = SocketKind::Raw;
        if (channel->fd >= 0)
            return channel;
        rawError = errno;
    }
    warnNoSocketOnce(datagramError, rawError);
    return channel;
}

// Errors the kernel gives at once, when the request never leaves the host.
std::uint32_t statusForSendError(int error)
{
    switch (error) {
    case ENETUNREACH: // no route to the destination's network
        return IcmpStatus::DestNetUnreachable;
    case EHOSTUNREACH: // an "unreachable" route, or the neighbour did not answer ARP earlier
        return IcmpStatus::DestHostUnreachable;
    case EACCES: // a broadcast address, which needs SO_BROADCAST and is no host to monitor
        return IcmpStatus::BadDestination;
    case EMSGSIZE: // larger than the path allows with "don't fragment", or than an IPv4 datagram
        return IcmpStatus::PacketTooBig;
    case ENOBUFS:
    case ENOMEM:
        return IcmpStatus::NoResources;
    default:
        return IcmpStatus::GeneralFailure;
    }
}

bool applyOptions(const Channel& channel, const EchoRequest& request)
{
    const int ttl = request.ttl;
    const int tos = request.tos;
    const int pmtu = (request.flags & EchoFlagDontFragment) ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT;
    return ::setsockopt(channel.fd, SOL_IP, IP_TTL, &ttl, sizeof ttl) == 0 &&
           ::setsockopt(channel.fd, SOL_IP, IP_TOS, &tos, sizeof tos) == 0 &&
           ::setsockopt(channel.fd, SOL_IP, IP_MTU_DISCOVER, &pmtu, sizeof pmtu) == 0;
}

struct Expected {
    std::uint32_t destination = 0;
    std::uint16_t id = 0;
    std::uint16_t sequence = 0;
    SteadyClock::time_point sentAt;
};

// The monotonic clock measures the round trip. The kernel's receive stamp uses the wall clock, so it is only used to
// take off the time the answer sat in the queue while other events ran; a wall clock step makes that part
// implausible, and then it is left alone.
std::uint32_t roundTripMs(SteadyClock::time_point sentAt, const std::optional<timespec>& received)
{
    auto elapsed = SteadyClock::now() - sentAt;
    if (received) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const auto queued = std::chrono::seconds(now.tv_sec - received->tv_sec) +
                            std::chrono::nanoseconds(now.tv_nsec - received->tv_nsec);
        if (queued.count() >= 0 && queued < elapsed)
            elapsed -= queued;
    }
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    return static_cast<std::uint32_t>((std::max<long long>(ns, 0) + 500'000) / 1'000'000);
}

struct Ancillary {
    int ttl = -1;
    std::optional<timespec> stamp;
    std::optional<sock_extended_err> error;
    sockaddr_in offender{}; // with `error`: who sent the ICMP message
};

// Copies the control messages out, as their payloads need not be aligned for the structures they hold.
Ancillary readAncillary(msghdr& msg)
{
    Ancillary out;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        const auto* payload = CMSG_DATA(c);
        if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_TTL && c->cmsg_len >= CMSG_LEN(sizeof(int))) {
            std::memcpy(&out.ttl, payload, sizeof(int));
        } else if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS &&
                   c->cmsg_len >= CMSG_LEN(sizeof(timespec))) {
            timespec stamp;
            std::memcpy(&stamp, payload, sizeof stamp);
            out.stamp = stamp;
        } else if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_RECVERR &&
                   c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err))) {
            sock_extended_err error;
            std::memcpy(&error, payload, sizeof error);
            out.error = error;
            // The offender's address follows the structure (SO_EE_OFFENDER) when the kernel knows it.
            if (c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err) + sizeof(sockaddr_in)))
                std::memcpy(&out.offender, payload + sizeof(sock_extended_err), sizeof out.offender);
        }
    }
    return out;
}

void fillEchoReply(EchoReply* reply, std::uint32_t from, int ttl, const std::uint8_t* data, std::size_t size)
{
    reply->address = from;
    reply->status = IcmpStatus::Success;
    reply->ttl = static_cast<std::uint8_t>(ttl < 0 ? 0 : ttl);
    reply->dataSize = static_cast<std::uint16_t>(size);
    reply->data = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

void fillError(EchoReply* reply, std::uint32_t from, int ttl, std::uint32_t status)
{
    reply->address = from;
    reply->status = status;
    reply->ttl = static_cast<std::uint8_t>(ttl < 0 ? 0 : ttl);
    reply->dataSize = 0;
    reply->data.clear();
}

enum class ReadResult { Matched, Empty, Again };

// Reads one queued packet (or error) and tells whether it answers `expected`; foreign packets are dropped.
ReadResult readOne(Channel& channel, const Expected& expected, bool errorQueue, EchoReply* reply)
{
    sockaddr_in from{};
    iovec iov{channel.buffer.data(), channel.buffer.size()};
    alignas(cmsghdr) char control[512];
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(channel.fd, &msg, MSG_DONTWAIT | (errorQueue ? MSG_ERRQUEUE : 0));
    if (n < 0) {
        // EAGAIN: nothing queued. Any other error is a pending socket error that recvmsg just cleared; the details
        // are on the error queue, which is read first.
        return errno == EINTR ? ReadResult::Again : ReadResult::Empty;
    }
    const auto* data = channel.buffer.data();
    const auto size = static_cast<std::size_t>(n);
    if (msg.msg_flags & MSG_TRUNC)
        return ReadResult::Again;
    const Ancillary extra = readAncillary(msg);

    if (errorQueue) {
        // The error queue returns our own request's ICMP header; the address is where that request was going and the
        // offender is who complained about it.
        const auto& error = extra.error;
        if (!error || error->ee_origin != SO_EE_ORIGIN_ICMP || from.sin_addr.s_addr != expected.destination)
            return ReadResult::Again;
        const auto quoted = IcmpPacket::parseQuotedEcho(data, size);
        if (!quoted || quoted->sequence != expected.sequence)
            return ReadResult::Again;
        const std::uint32_t router = extra.offender.sin_family == AF_INET ? extra.offender.sin_addr.s_addr : 0;
        fillError(reply, router, extra.ttl, IcmpPacket::statusFor(error->ee_type, error->ee_code));
        reply->roundTripMs = roundTripMs(expected.sentAt, extra.stamp);
        return ReadResult::Matched;
    }

    if (channel.kind == SocketKind::Datagram) {
        // The kernel delivers to this socket only replies carrying its identifier, so sequence and source decide.
        const auto message = IcmpPacket::parse(data, size, IcmpPacket::Framing::IcmpHeader);
        if (!message || message->kind != IcmpPacket::Kind::EchoReply || message->sequence != expected.sequence ||
            from.sin_addr.s_addr != expected.destination)
            return ReadResult::Again;
        fillEchoReply(reply, from.sin_addr.s_addr, extra.ttl, data + message->payloadOffset, message->payloadSize);
        reply->roundTripMs = roundTripMs(expected.sentAt, extra.stamp);
        return ReadResult::Matched;
    }

    // A raw socket sees every ICMP message on the host, other pingers' included.
    const auto message = IcmpPacket::parse(data, size, IcmpPacket::Framing::IpHeader);
    if (!message || message->id != expected.id || message->sequence != expected.sequence)
        return ReadResult::Again;
    if (message->kind == IcmpPacket::Kind::EchoReply && message->source == expected.destination) {
        fillEchoReply(reply, message->source, message->ttl, data + message->payloadOffset, message->payloadSize);
    } else if (message->kind == IcmpPacket::Kind::Error && message->originalDestination == expected.destination) {
        fillError(reply, message->source, message->ttl, IcmpPacket::statusFor(message->type, message->code));
    } else {
        return ReadResult::Again;
    }
    reply->roundTripMs = roundTripMs(expected.sentAt, extra.stamp);
    return ReadResult::Matched;
}

bool readPending(Channel& channel, const Expected& expected, EchoReply* reply)
{
    const bool hasErrorQueue = channel.kind == SocketKind::Datagram;
    int reads = 0;
    for (const bool errorQueue : {true, false}) {
        if (errorQueue && !hasErrorQueue)
            continue;
        while (reads++ < MaxReadsPerWakeup) {
            const ReadResult result = readOne(channel, expected, errorQueue, reply);
            if (result == ReadResult::Matched)
                return true;
            if (result == ReadResult::Empty)
                break;
        }
    }
    return false;
}

int runEcho(Channel& channel, const EchoRequest& request, EchoReply* reply)
{
    *reply = EchoReply{};
    // The limited broadcast and "this host" addresses are never a host to monitor; refuse before anything is sent.
    if (request.destination == INADDR_ANY || request.destination == INADDR_BROADCAST) {
        reply->status = IcmpStatus::BadDestination;
        return 0;
    }
    if (channel.fd < 0) {
        reply->status = IcmpStatus::GeneralFailure;
        return 0;
    }
    if (!applyOptions(channel, request)) {
        reply->status = IcmpStatus::BadOption;
        return 0;
    }

    Expected expected;
    expected.destination = request.destination;
    expected.id = channel.id;
    expected.sequence = g_nextSequence.fetch_add(1);
    const auto packet = IcmpPacket::buildEcho(IcmpPacket::TypeEchoRequest, expected.id, expected.sequence,
                                              reinterpret_cast<const std::uint8_t*>(request.data.constData()),
                                              static_cast<std::size_t>(request.data.size()));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = request.destination;

    expected.sentAt = SteadyClock::now();
    const auto deadline = expected.sentAt + std::chrono::milliseconds(std::max(request.timeoutMs, 0));
    if (::sendto(channel.fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) {
        // Refused on the spot: no packet went out, so there is no reply to count.
        reply->status = statusForSendError(errno);
        return 0;
    }

    for (;;) {
        if (readPending(channel, expected, reply))
            return 1;
        const auto left = deadline - SteadyClock::now();
        if (left <= SteadyClock::duration::zero())
            break;
        // Rounded up, so the wait never ends before the time-out.
        const auto leftMs = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        if (waitReadable(channel.fd, static_cast<int>(leftMs)) == WaitResult::Aborted)
            break; // the application is quitting: give up as if the time-out had passed
    }
    *reply = EchoReply{};
    reply->status = IcmpStatus::RequestTimedOut;
    return 0;
}

class SystemEchoHandle final : public IcmpEchoHandle {
public:
    explicit SystemEchoHandle(std::shared_ptr<Channel> channel) : m_channel(std::move(channel)) {}

    int sendEcho(const EchoRequest& request, EchoReply* reply) override
    {
        // Events run while we wait, and one of them may delete this handle; the local reference keeps the socket
        // open until the wait is over.
        const std::shared_ptr<Channel> channel = m_channel;
        return runEcho(*channel, request, reply);
    }

private:
    std::shared_ptr<Channel> m_channel;
};

class SystemEchoService final : public IcmpEchoService {
public:
    explicit SystemEchoService(IcmpSocketMode mode) : m_mode(mode) {}

    std::unique_ptr<IcmpEchoHandle> open() override { return std::make_unique<SystemEchoHandle>(openChannel(m_mode)); }

private:
    IcmpSocketMode m_mode;
};

} // namespace

IcmpEchoService& systemIcmpEchoService(IcmpSocketMode mode)
{
    static SystemEchoService automatic(IcmpSocketMode::Auto);
    static SystemEchoService datagram(IcmpSocketMode::Datagram);
    static SystemEchoService raw(IcmpSocketMode::Raw);
    switch (mode) {
    case IcmpSocketMode::Datagram:
        return datagram;
    case IcmpSocketMode::Raw:
        return raw;
    case IcmpSocketMode::Auto:
        break;
    }
    return automatic;
}
