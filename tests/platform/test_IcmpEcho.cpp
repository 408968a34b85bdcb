#include "platform/IcmpEcho.h"
#include "tests/support/NetnsLab.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <linux/capability.h>
#include <memory>
#include <ostream>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

using SteadyClock = std::chrono::steady_clock;

struct Outcome {
    int replies = -1;
    EchoReply reply;
    std::chrono::milliseconds elapsed{0};
};

Outcome echo(IcmpEchoHandle& handle, std::uint32_t destination, int timeoutMs = 1000, std::uint8_t ttl = 64,
             const QByteArray& data = QByteArrayLiteral("tavrik probe"))
{
    EchoRequest request;
    request.destination = destination;
    request.timeoutMs = timeoutMs;
    request.ttl = ttl;
    request.data = data;
    Outcome out;
    const auto start = SteadyClock::now();
    out.replies = handle.sendEcho(request, &out.reply);
    out.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start);
    return out;
}

std::string text(std::uint32_t address)
{
    return ipv4Text(address).toStdString();
}

// One counter of /proc/net/snmp as the calling thread's namespace sees it, e.g. ("Icmp", "OutEchos").
long long snmpCounter(const char* group, const char* name)
{
    QFile file(QStringLiteral("/proc/thread-self/net/snmp"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = file.readAll().split('\n');
    const QByteArray prefix = QByteArray(group) + ':';
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i].startsWith(prefix) || !lines[i + 1].startsWith(prefix))
            continue;
        const QList<QByteArray> names = lines[i].simplified().split(' ');
        const QList<QByteArray> values = lines[i + 1].simplified().split(' ');
        const qsizetype at = names.indexOf(QByteArray(name));
        if (at > 0 && at < values.size())
            return values[at].toLongLong();
    }
    return -1;
}

// Open sockets of one kind in the calling thread's namespace ("icmp" lists ICMP datagram sockets, "raw" raw ones).
int socketCount(const char* table)
{
    QFile file(QStringLiteral("/proc/thread-self/net/") + QLatin1String(table));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return static_cast<int>(file.readAll().trimmed().count('\n')); // the first line is the column header
}

// Takes CAP_NET_RAW out of the calling thread's effective set (capabilities are per thread), so even root cannot
// open a raw socket until it is put back.
class WithoutNetRaw {
public:
    WithoutNetRaw()
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[CAP_NET_RAW / 32].effective &= ~(1U << (CAP_NET_RAW % 32));
        m_dropped = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutNetRaw()
    {
        if (m_dropped)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    bool ok() const { return m_dropped; }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
};

const char* modeName(IcmpSocketMode mode)
{
    switch (mode) {
    case IcmpSocketMode::Raw:
        return "Raw";
    case IcmpSocketMode::Datagram:
        return "Datagram";
    case IcmpSocketMode::Auto:
        break;
    }
    return "Auto";
}

} // namespace

// Names the socket mode in test listings instead of its bytes.
void PrintTo(IcmpSocketMode mode, std::ostream* out)
{
    *out << modeName(mode);
}

namespace {

// client (198.18.0.1) -- router (198.18.0.2 | 198.18.1.1) -- target (198.18.1.2); the router answers for 198.19.1.0/24
// with "unreachable", for 198.19.2.0/24 with "prohibited" and drops 198.19.3.0/24 silently. A second namespace,
// `alone`, has nothing but loopback. Both admit every group to ICMP datagram sockets. The test thread runs inside the
// client, so nothing it sends can reach beyond the lab.
class EchoLabTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!NetnsLab::haveRoot())
            GTEST_SKIP() << "needs root: builds network namespaces and opens raw ICMP sockets";
        ASSERT_TRUE(buildChain(lab, 1, &chain)) << lab.error().toStdString();
        router = chain.routerAddresses.at(0);
        const QString r = chain.routers.at(0);
        lab.addRoute(r, {QStringLiteral("unreachable"), QStringLiteral("198.19.1.0/24")});
        lab.addRoute(r, {QStringLiteral("prohibit"), QStringLiteral("198.19.2.0/24")});
        lab.addRoute(r, {QStringLiteral("blackhole"), QStringLiteral("198.19.3.0/24")});
        alone = lab.addNamespace(QStringLiteral("alone"));
        for (const QString& ns : {chain.client, alone})
            lab.sysctl(ns, QStringLiteral("net.ipv4.ping_group_range"), QStringLiteral("0 2147483647"));
        ASSERT_TRUE(lab.ok()) << lab.error().toStdString();
        inside = std::make_unique<ScopedNetns>(chain.client);
        ASSERT_TRUE(inside->ok()) << inside->error().toStdString();
    }

    NetnsLab lab;
    LabChain chain;
    std::uint32_t router = 0;
    QString alone;
    std::unique_ptr<ScopedNetns> inside; // declared after the lab, so the thread leaves before the lab is removed
};

class EchoPathTest : public EchoLabTest, public ::testing::WithParamInterface<IcmpSocketMode> {
protected:
    std::unique_ptr<IcmpEchoHandle> open() { return systemIcmpEchoService(GetParam()).open(); }
};

} // namespace

TEST_P(EchoPathTest, LoopbackAnswers)
{
    ScopedNetns loopbackOnly(alone);
    ASSERT_TRUE(loopbackOnly.ok()) << loopbackOnly.error().toStdString();
    auto handle = open();
    const auto out = echo(*handle, ipv4("127.0.0.1"), 1000, 64, QByteArrayLiteral("loopback data"));
    EXPECT_EQ(out.replies, 1);
    EXPECT_EQ(out.reply.status, IcmpStatus::Success);
    EXPECT_EQ(text(out.reply.address), "127.0.0.1");
    EXPECT_EQ(out.reply.data, QByteArrayLiteral("loopback data"));
    EXPECT_EQ(out.reply.dataSize, 13);
    EXPECT_EQ(out.reply.ttl, 64);
    EXPECT_LT(out.reply.roundTripMs, 100u);
}

TEST_P(EchoPathTest, TargetTwoHopsAwayAnswers)
{
    auto handle = open();
    QByteArray data(128, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7 + 1);
    const auto out = echo(*handle, chain.targetAddress, 1000, 64, data);
    EXPECT_EQ(out.replies, 1);
    EXPECT_EQ(out.reply.status, IcmpStatus::Success);
    EXPECT_EQ(text(out.reply.address), text(chain.targetAddress));
    EXPECT_EQ(out.reply.data, data);
    EXPECT_EQ(out.reply.dataSize, 128);
    EXPECT_EQ(out.reply.ttl, 63); // sent with 64 by the target, one router on the way back
    EXPECT_LT(out.reply.roundTripMs, 100u);

    const auto empty = echo(*handle, chain.targetAddress, 1000, 64, QByteArray());
    EXPECT_EQ(empty.replies, 1);
    EXPECT_EQ(empty.reply.status, IcmpStatus::Success);
    EXPECT_EQ(empty.reply.dataSize, 0);
    EXPECT_TRUE(empty.reply.data.isEmpty());
}

TEST_P(EchoPathTest, TtlOneExpiresAtTheRouter)
{
    auto handle = open();
    const auto expired = echo(*handle, chain.targetAddress, 1000, 1);
    EXPECT_EQ(expired.replies, 1);
    EXPECT_EQ(expired.reply.status, IcmpStatus::TtlExpiredTransit);
    EXPECT_EQ(text(expired.reply.address), text(router));
    EXPECT_EQ(expired.reply.dataSize, 0);
    EXPECT_EQ(expired.reply.ttl, 64); // the router's own message, sent straight to us
    EXPECT_LT(expired.elapsed, 500ms);

    // One more hop reaches the target, as a route trace goes on.
    const auto reached = echo(*handle, chain.targetAddress, 1000, 2);
    EXPECT_EQ(reached.replies, 1);
    EXPECT_EQ(reached.reply.status, IcmpStatus::Success);
    EXPECT_EQ(text(reached.reply.address), text(chain.targetAddress));
}

TEST_P(EchoPathTest, UnreachableRouteAnswersHostUnreachable)
{
    auto handle = open();
    const auto out = echo(*handle, ipv4("198.19.1.5"));
    EXPECT_EQ(out.replies, 1);
    EXPECT_EQ(out.reply.status, IcmpStatus::DestHostUnreachable);
    EXPECT_EQ(text(out.reply.address), text(router));
    EXPECT_LT(out.elapsed, 500ms);

    // The error left nothing behind on the socket that could spoil the next echo.
    const auto next = echo(*handle, chain.targetAddress);
    EXPECT_EQ(next.replies, 1);
    EXPECT_EQ(next.reply.status, IcmpStatus::Success);
    EXPECT_EQ(text(next.reply.address), text(chain.targetAddress));
}

TEST_P(EchoPathTest, ProhibitedRouteAnswersHostUnreachable)
{
    auto handle = open();
    const auto out = echo(*handle, ipv4("198.19.2.5"));
    EXPECT_EQ(out.replies, 1);
    EXPECT_EQ(out.reply.status, IcmpStatus::DestHostUnreachable);
    EXPECT_EQ(text(out.reply.address), text(router));
}

TEST_P(EchoPathTest, BlackholeTimesOutAfterTheTimeout)
{
    auto handle = open();
    const auto out = echo(*handle, ipv4("198.19.3.5"), 600);
    EXPECT_EQ(out.replies, 0);
    EXPECT_EQ(out.reply.status, IcmpStatus::RequestTimedOut);
    EXPECT_GE(out.elapsed, 600ms);
    EXPECT_LE(out.elapsed, 900ms);
}

TEST_P(EchoPathTest, EventsRunWhileWaiting)
{
    auto handle = open();
    auto timerRan = std::make_shared<bool>(false); // shared: a timer that fires late must not write into a dead frame
    QTimer::singleShot(50, [timerRan] { *timerRan = true; });
    const auto out = echo(*handle, ipv4("198.19.3.5"), 300);
    EXPECT_EQ(out.reply.status, IcmpStatus::RequestTimedOut);
    EXPECT_TRUE(*timerRan);
}

TEST_P(EchoPathTest, NoRouteIsRefusedAtOnce)
{
    ScopedNetns loopbackOnly(alone);
    ASSERT_TRUE(loopbackOnly.ok()) << loopbackOnly.error().toStdString();
    auto handle = open();
    const auto out = echo(*handle, ipv4("198.18.200.1"));
    EXPECT_EQ(out.replies, 0);
    EXPECT_EQ(out.reply.status, IcmpStatus::DestNetUnreachable);
    EXPECT_LT(out.elapsed, 100ms);
}

TEST_P(EchoPathTest, BroadcastAndAnyAreNeverSent)
{
    auto handle = open();
    const long long before = snmpCounter("Icmp", "OutEchos");
    ASSERT_GE(before, 0);
    for (const char* address : {"255.255.255.255", "0.0.0.0"}) {
        const auto out = echo(*handle, ipv4(address));
        EXPECT_EQ(out.replies, 0) << address;
        EXPECT_EQ(out.reply.status, IcmpStatus::BadDestination) << address;
        EXPECT_LT(out.elapsed, 50ms) << address;
    }
    EXPECT_EQ(snmpCounter("Icmp", "OutEchos"), before);

    // The counter does see our requests, so the check above means something.
    EXPECT_EQ(echo(*handle, chain.targetAddress).reply.status, IcmpStatus::Success);
    EXPECT_EQ(snmpCounter("Icmp", "OutEchos"), before + 1);
}

TEST_P(EchoPathTest, FloodFromAnotherPingerDoesNotConfuseUs)
{
    // iputils ping floods the same target from the same namespace while we probe; every answer we get must be ours.
    QProcess flood;
    const QStringList command = NetnsLab::execArguments(
        chain.client, {QStringLiteral("ping"), QStringLiteral("-f"), QStringLiteral("-q"), QStringLiteral("-n"),
                       QStringLiteral("-w"), QStringLiteral("3"), ipv4Text(chain.targetAddress)});
    flood.setProcessChannelMode(QProcess::MergedChannels);
    flood.start(command.first(), command.mid(1));
    ASSERT_TRUE(flood.waitForStarted());
    std::this_thread::sleep_for(300ms);

    auto handle = open();
    for (int i = 0; i < 20; ++i) {
        const QByteArray data = QByteArrayLiteral("ours ") + QByteArray::number(i);
        const auto out = echo(*handle, chain.targetAddress, 1000, 64, data);
        EXPECT_EQ(out.replies, 1) << "probe " << i;
        EXPECT_EQ(out.reply.status, IcmpStatus::Success) << "probe " << i << " after " << out.elapsed.count() << " ms";
        EXPECT_EQ(text(out.reply.address), text(chain.targetAddress)) << "probe " << i;
        EXPECT_EQ(out.reply.data, data) << "probe " << i;
        std::this_thread::sleep_for(20ms);
    }

    // The flood may have ended while our waits ran the event loop, which then already reaped it.
    ASSERT_TRUE(flood.state() == QProcess::NotRunning || flood.waitForFinished(15000));
    const QString summary = QString::fromLocal8Bit(flood.readAll());
    const auto sent = QRegularExpression(QStringLiteral("(\\d+) packets transmitted")).match(summary);
    ASSERT_TRUE(sent.hasMatch()) << summary.toStdString();
    EXPECT_GT(sent.captured(1).toInt(), 1000) << "the flood did not flood: " << summary.toStdString();
}

INSTANTIATE_TEST_SUITE_P(BothSockets, EchoPathTest, ::testing::Values(IcmpSocketMode::Raw, IcmpSocketMode::Datagram),
                         [](const auto& info) { return std::string(modeName(info.param)); });

TEST_F(EchoLabTest, AutoPrefersDatagramSocketsAndFallsBackToRaw)
{
    // The client admits every group to datagram sockets, so Auto takes one and no raw socket. (A datagram socket is
    // listed once it has its identifier, which the first echo gives it.)
    const int datagramBefore = socketCount("icmp");
    const int rawBefore = socketCount("raw");
    {
        auto handle = systemIcmpEchoService(IcmpSocketMode::Auto).open();
        EXPECT_EQ(echo(*handle, chain.targetAddress).reply.status, IcmpStatus::Success);
        EXPECT_EQ(socketCount("icmp"), datagramBefore + 1);
        EXPECT_EQ(socketCount("raw"), rawBefore);
    }
    EXPECT_EQ(socketCount("icmp"), datagramBefore); // closed with the handle

    // The target keeps the kernel's default range, which admits nobody, not even root: Auto falls back to raw.
    ScopedNetns target(chain.target);
    ASSERT_TRUE(target.ok()) << target.error().toStdString();
    const int targetRawBefore = socketCount("raw");
    {
        auto handle = systemIcmpEchoService(IcmpSocketMode::Auto).open();
        EXPECT_EQ(socketCount("raw"), targetRawBefore + 1);
        const auto out = echo(*handle, ipv4("127.0.0.1"));
        EXPECT_EQ(out.reply.status, IcmpStatus::Success);
        EXPECT_EQ(socketCount("icmp"), 0); // the datagram attempt was refused
    }
    EXPECT_EQ(socketCount("raw"), targetRawBefore);
}

namespace {

QStringList g_warnings;
QtMessageHandler g_previousHandler = nullptr;

void collectWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg)
        g_warnings << message;
    g_previousHandler(type, context, message);
}

// Collects the warnings logged while it lives.
class WarningCollector {
public:
    WarningCollector()
    {
        g_warnings.clear();
        g_previousHandler = qInstallMessageHandler(collectWarnings);
    }
    ~WarningCollector() { qInstallMessageHandler(g_previousHandler); }
    const QStringList& warnings() const { return g_warnings; }
};

} // namespace

TEST_F(EchoLabTest, WithoutAnySocketFailsAndWarnsOnce)
{
    // No other test here lacks a socket, so the process's one warning is this test's, on its first run only
    // (--gtest_repeat runs it again in the same process).
    static int runs = 0;
    const qsizetype expectedWarnings = runs++ == 0 ? 1 : 0;
    WarningCollector log;
    ScopedNetns target(chain.target); // default ping_group_range: no datagram socket for anyone
    ASSERT_TRUE(target.ok()) << target.error().toStdString();
    {
        // Datagram mode means only datagram sockets: root's raw privilege must not be used behind its back.
        auto handle = systemIcmpEchoService(IcmpSocketMode::Datagram).open();
        const auto out = echo(*handle, ipv4("127.0.0.1"));
        EXPECT_EQ(out.replies, 0);
        EXPECT_EQ(out.reply.status, IcmpStatus::GeneralFailure);
    }
    {
        WithoutNetRaw unprivileged;
        ASSERT_TRUE(unprivileged.ok());
        for (const IcmpSocketMode mode : {IcmpSocketMode::Auto, IcmpSocketMode::Raw}) {
            auto handle = systemIcmpEchoService(mode).open();
            const auto out = echo(*handle, ipv4("127.0.0.1"));
            EXPECT_EQ(out.replies, 0) << modeName(mode);
            EXPECT_EQ(out.reply.status, IcmpStatus::GeneralFailure) << modeName(mode);
        }
    }
    const QStringList aboutIcmp = log.warnings().filter(QStringLiteral("ICMP"));
    ASSERT_EQ(aboutIcmp.size(), expectedWarnings) << log.warnings().join(QLatin1Char('\n')).toStdString();
    if (aboutIcmp.isEmpty())
        return;
    const QString warning = aboutIcmp.first();
    EXPECT_TRUE(warning.contains(QStringLiteral("ping_group_range"))) << warning.toStdString();
    EXPECT_TRUE(warning.contains(QStringLiteral("setcap cap_net_raw+ep"))) << warning.toStdString();
}
