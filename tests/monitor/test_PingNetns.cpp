#include "monitor/MonitorCycle.h"
#include "monitor/Ping.h"

#include "NetnsLab.h"

#include <QSignalSpy>

#include <gtest/gtest.h>
#include <memory>

namespace {

// client -- router -- target, the router answering 198.19.1.0/24 with "unreachable" and dropping 198.19.3.0/24.
// The test thread sits in the client, which has no route out of the lab: even the resolver's query for a name that
// is not in /etc/hosts fails at once instead of reaching a name server.
class PingLabTest : public ::testing::TestWithParam<IcmpSocketMode> {
protected:
    void SetUp() override
    {
        if (!NetnsLab::haveRoot())
            GTEST_SKIP() << "needs root: builds network namespaces and opens raw ICMP sockets";
        ASSERT_TRUE(buildChain(lab, 1, &chain)) << lab.error().toStdString();
        lab.addRoute(chain.routers[0], {QStringLiteral("unreachable"), QStringLiteral("198.19.1.0/24")});
        lab.addRoute(chain.routers[0], {QStringLiteral("blackhole"), QStringLiteral("198.19.3.0/24")});
        lab.sysctl(chain.client, QStringLiteral("net.ipv4.ping_group_range"), QStringLiteral("0 2147483647"));
        ASSERT_TRUE(lab.ok()) << lab.error().toStdString();
        inside = std::make_unique<ScopedNetns>(chain.client);
        ASSERT_TRUE(inside->ok()) << inside->error().toStdString();
        ping = std::make_unique<Ping>(systemIcmpEchoService(GetParam()), systemHostResolver());
    }

    struct Result {
        bool ok = false;
        QList<qint32> replies;
        QStringList errors;
    };
    Result probe(const QString& host, qint16 timeoutMs = 900)
    {
        QSignalSpy ok(ping.get(), &Ping::PingOK);
        QSignalSpy error(ping.get(), &Ping::PingError);
        Result result;
        result.ok = ping->DoPing(host, timeoutMs);
        for (const QList<QVariant>& args : ok)
            result.replies.append(args[0].toInt());
        for (const QList<QVariant>& args : error)
            result.errors.append(args[0].toString());
        return result;
    }

    NetnsLab lab;
    LabChain chain;
    std::unique_ptr<ScopedNetns> inside;
    std::unique_ptr<Ping> ping;
};

} // namespace

TEST_P(PingLabTest, RepliesFromLoopbackAndFromAHostTwoHopsAway)
{
    const Result local = probe(QStringLiteral("localhost"));
    EXPECT_TRUE(local.ok);
    EXPECT_EQ(local.replies.size(), 1);
    EXPECT_EQ(ping->LastIP(), QStringLiteral("127.0.0.1"));

    const Result far = probe(ipv4Text(chain.targetAddress));
    EXPECT_TRUE(far.ok);
    ASSERT_EQ(far.replies.size(), 1);
    EXPECT_GE(far.replies[0], 0);
    EXPECT_LT(far.replies[0], 100);
    EXPECT_TRUE(far.errors.isEmpty());
}

TEST_P(PingLabTest, SilentRouteTimesOutWithItsTwoBlanks)
{
    const Result result = probe(QStringLiteral("198.19.3.7"), 400);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errors, QStringList{QStringLiteral("Ping failed :  request timed out")});
}

TEST_P(PingLabTest, UnreachableRouteIsReportedAsTheRoutersAnswer)
{
    const Result result = probe(QStringLiteral("198.19.1.7"));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errors, QStringList{QStringLiteral("Ping failed To complete: destination host unreachable")});
}

TEST_P(PingLabTest, UnresolvableNameGivesNoIPAndTheCycleTakesTheFailurePath)
{
    struct Window final : CycleHost {
        QString hostText() const override { return QStringLiteral("no-such-host.lab.test"); }
        bool isMinimized() const override { return false; }
    } window;
    ManualClock clock;
    MonitorCycle cycle(*ping, window, clock);
    QSignalSpy lights(&cycle, &MonitorCycle::lightChanged);
    QSignalSpy results(&cycle, &MonitorCycle::resultReady);
    cycle.start(QStringLiteral("1"));
    cycle.tick();

    EXPECT_EQ(ping->LastIP(), Ping::NoIP);
    EXPECT_EQ(cycle.addressText(), Ping::NoIP);
    ASSERT_FALSE(lights.isEmpty());
    EXPECT_EQ(lights.last()[0].value<std::uint32_t>(), MonitorCycle::Red);
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0][2].toString(), QStringLiteral("RED"));
}

INSTANTIATE_TEST_SUITE_P(BothSockets, PingLabTest, ::testing::Values(IcmpSocketMode::Raw, IcmpSocketMode::Datagram),
                         [](const auto& info) {
                             return std::string(info.param == IcmpSocketMode::Raw ? "Raw" : "Datagram");
                         });
