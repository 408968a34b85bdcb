// Round trips as our echo layer measures them next to those of iputils ping, against a host in a network namespace
// whose echo replies are held back for a fixed time. The kernel here has no netem, so the delay comes from a
// responder of ours: the same program started in the target namespace with --respond, where the kernel's own echo
// answers are switched off.

#include "IdleLoad.h"
#include "monitor/Ping.h"
#include "platform/IcmpPacket.h"
#include "tests/support/NetnsLab.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int ProbesPerSeries = 50;
constexpr int IntervalMs = 200; // between the starts of two probes, for both tools
constexpr int TimeoutMs = 2000;
constexpr int DelaysMs[] = {25, 120};

// --respond DELAY_MS ADDRESS: answers echo requests to ADDRESS after DELAY_MS. Runs until it is terminated or
// the benchmark that started it goes away.
int respond(int delayMs, std::uint32_t address)
{
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) {
        std::perror("responder: raw socket");
        return 1;
    }
    icmp_filter filter{~(1U << IcmpPacket::TypeEchoRequest)};
    ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    std::printf("ready\n");
    std::fflush(stdout);

    struct Pending {
        SteadyClock::time_point due;
        sockaddr_in to;
        std::vector<std::uint8_t> packet;
    };
    std::deque<Pending> pending; // in arrival order, and so in order of being due
    std::vector<std::uint8_t> buffer(65536);
    for (;;) {
        int waitMs = 1000;
        if (!pending.empty()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(pending.front().due - SteadyClock::now());
            waitMs = static_cast<int>(std::max<long long>(0, left.count()));
        }
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, waitMs);
        for (;;) {
            const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (n < 0)
                break;
            const auto arrived = SteadyClock::now();
            const auto m = IcmpPacket::parse(buffer.data(), static_cast<std::size_t>(n), IcmpPacket::Framing::IpHeader);
            if (!m || m->kind != IcmpPacket::Kind::EchoRequest || m->destination != address)
                continue;
            Pending reply{arrived + std::chrono::milliseconds(delayMs), {}, {}};
            reply.to.sin_family = AF_INET;
            reply.to.sin_addr.s_addr = m->source;
            reply.packet = IcmpPacket::buildEcho(IcmpPacket::TypeEchoReply, m->id, m->sequence,
                                                 buffer.data() + m->payloadOffset, m->payloadSize);
            pending.push_back(std::move(reply));
        }
        while (!pending.empty() && pending.front().due <= SteadyClock::now()) {
            const Pending& r = pending.front();
            ::sendto(fd, r.packet.data(), r.packet.size(), 0, reinterpret_cast<const sockaddr*>(&r.to), sizeof r.to);
            pending.pop_front();
        }
    }
}

// Ping handles dotted addresses itself; anything else must not become a real lookup.
class NoResolver final : public HostResolver {
public:
    std::optional<std::uint32_t> resolveIPv4(const QString&) override { return std::nullopt; }
};

struct Series {
    std::vector<double> rttMs;
    int lost = 0;
};

Series probeOurs(const LabChain& chain)
{
    Series series;
    ScopedNetns inside(chain.client);
    if (!inside.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(inside.error()));
        series.lost = ProbesPerSeries;
        return series;
    }
    NoResolver resolver;
    Ping ping(systemIcmpEchoService(), resolver);
    QObject::connect(&ping, &Ping::PingOK, [&](qint32 rttMs) { series.rttMs.push_back(rttMs); });
    QObject::connect(&ping, &Ping::PingError, [&](const QString& message) {
        ++series.lost;
        std::fprintf(stderr, "ours: %s\n", qPrintable(message));
    });
    const QString target = ipv4Text(chain.targetAddress);
    for (int i = 0; i < ProbesPerSeries; ++i) {
        const auto start = SteadyClock::now();
        ping.DoPing(target, TimeoutMs);
        std::this_thread::sleep_until(start + std::chrono::milliseconds(IntervalMs));
    }
    return series;
}

// iputils prints "time=" cut off, not rounded, to a precision that shrinks as the time grows (25.4, but 120), while
// our layer reports whole milliseconds rounded to nearest; medians of the two may differ by up to a millisecond
// with both right.
Series probeIputils(const LabChain& chain)
{
    Series series;
    const QStringList command = NetnsLab::execArguments(
        chain.client, {QStringLiteral("ping"), QStringLiteral("-n"), QStringLiteral("-c"),
                       QString::number(ProbesPerSeries), QStringLiteral("-i"), QString::number(IntervalMs / 1000.0),
                       QStringLiteral("-W"), QString::number(TimeoutMs / 1000), ipv4Text(chain.targetAddress)});
    QProcess ping;
    ping.start(command.first(), command.mid(1));
    if (!ping.waitForFinished(ProbesPerSeries * (IntervalMs + TimeoutMs) + 10000)) {
        ping.kill();
        ping.waitForFinished();
    }
    const QString output = QString::fromLocal8Bit(ping.readAllStandardOutput());
    const QRegularExpression time(QStringLiteral("time=([0-9.]+) ms"));
    for (auto it = time.globalMatch(output); it.hasNext();)
        series.rttMs.push_back(it.next().captured(1).toDouble());
    series.lost = ProbesPerSeries - static_cast<int>(series.rttMs.size());
    return series;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

class Responder {
public:
    Responder(const LabChain& chain, int delayMs)
    {
        const QStringList command =
            NetnsLab::execArguments(chain.target, {QCoreApplication::applicationFilePath(), QStringLiteral("--respond"),
                                                   QString::number(delayMs), ipv4Text(chain.targetAddress)});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(command.first(), command.mid(1));
        m_ready = m_process.waitForReadyRead(5000) && m_process.readLine().trimmed() == "ready";
    }
    ~Responder()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    bool ready() const { return m_ready; }

private:
    QProcess m_process;
    bool m_ready = false;
};

int runBenchmark()
{
    if (!NetnsLab::haveRoot()) {
        std::fprintf(stderr, "bench_probe needs root: it builds network namespaces\n");
        return 1;
    }
    NetnsLab lab;
    LabChain chain;
    buildChain(lab, 0, &chain);
    // Our responder answers instead of the kernel.
    lab.sysctl(chain.target, QStringLiteral("net.ipv4.icmp_echo_ignore_all"), QStringLiteral("1"));
    if (!lab.ok()) {
        std::fprintf(stderr, "lab: %s\n", qPrintable(lab.error()));
        return 1;
    }

    double maxDiff = 0;
    int lostOurs = 0;
    int lostPing = 0;
    for (const int delayMs : DelaysMs) {
        Responder responder(chain, delayMs);
        if (!responder.ready()) {
            std::fprintf(stderr, "the responder did not start\n");
            return 1;
        }
        const Series ours = probeOurs(chain);
        const Series ping = probeIputils(chain);
        const double oursMedian = median(ours.rttMs);
        const double pingMedian = median(ping.rttMs);
        std::printf("rtt_%d_ours_ms: %.3f\n", delayMs, oursMedian);
        std::printf("rtt_%d_ping_ms: %.3f\n", delayMs, pingMedian);
        maxDiff = std::max(maxDiff, std::fabs(oursMedian - pingMedian));
        lostOurs += ours.lost;
        lostPing += ping.lost;
    }
    std::printf("rtt_max_abs_diff_ms: %.3f\n", maxDiff);
    std::printf("lost_ours: %d\n", lostOurs);
    std::printf("lost_ping: %d\n", lostPing);
    return lostOurs == 0 && lostPing == 0 ? 0 : 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string_view(argv[1]) == "--respond")
        return respond(std::atoi(argv[2]), ipv4(argv[3]));
    QCoreApplication app(argc, argv);
    int idleSeconds = 60;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string_view(argv[i]) == "--idle-seconds")
            idleSeconds = std::max(1, std::atoi(argv[i + 1]));
    }
    const int rtt = runBenchmark();
    const bool idle = measureIdleLoad(QCoreApplication::applicationDirPath() + QStringLiteral("/tvPing"), idleSeconds);
    return rtt != 0 ? rtt : (idle ? 0 : 1);
}
