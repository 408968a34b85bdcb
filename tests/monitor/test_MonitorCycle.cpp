#include "monitor/MonitorCycle.h"
#include "monitor/Ping.h"

#include "ScriptedEcho.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

class FakeWindow final : public CycleHost {
public:
    QString host = QStringLiteral("127.0.0.1");
    bool minimized = false;
    QString hostText() const override { return host; }
    bool isMinimized() const override { return minimized; }
};

class CycleTest : public ::testing::Test {
protected:
    CycleTest()
    {
        cycle.setBaseTitle(QStringLiteral("Tavrik"));
        cycle.markStartup();
        clock.advanceMs(MonitorCycle::StartupDelayMs);
    }

    ScriptedEcho echo;
    TableResolver resolver;
    ManualClock clock;
    FakeWindow window;
    Ping ping{echo, resolver};
    MonitorCycle cycle{ping, window, clock};
    QSignalSpy lights{&cycle, &MonitorCycle::lightChanged};
    QSignalSpy captions{&cycle, &MonitorCycle::captionChanged};
    QSignalSpy icons{&cycle, &MonitorCycle::iconChanged};
    QSignalSpy results{&cycle, &MonitorCycle::resultReady};
    QSignalSpy alerts{&cycle, &MonitorCycle::alertCheck};
    QSignalSpy texts{&cycle, &MonitorCycle::resultTextChanged};
};

} // namespace

TEST_F(CycleTest, TimeOutFollowsTheInterval)
{
    for (const auto& [text, intervalMs, timeoutMs] :
         {std::tuple{"1", 1000, 900}, std::tuple{"10", 10000, 9900}, std::tuple{"60", 60000, 10000}}) {
        cycle.start(QLatin1String(text));
        EXPECT_EQ(cycle.intervalMs(), intervalMs);
        cycle.tick();
        ASSERT_FALSE(echo.sent.isEmpty());
        EXPECT_EQ(echo.sent.takeLast().timeoutMs, timeoutMs) << text;
    }
}

TEST_F(CycleTest, NoProbeInTheFirstFiveSecondsThenNoFurtherDelay)
{
    ManualClock fresh;
    MonitorCycle early(ping, window, fresh);
    early.markStartup();
    early.start(QStringLiteral("1"));
    fresh.advanceMs(4999);
    early.tick();
    EXPECT_TRUE(echo.sent.isEmpty());
    fresh.advanceMs(1);
    early.tick();
    EXPECT_EQ(echo.sent.size(), 1);
    early.tick(); // the mark is gone: the next tick probes at once
    EXPECT_EQ(echo.sent.size(), 2);
}

TEST_F(CycleTest, EmptyHostSelectorDoesNothing)
{
    window.host.clear();
    cycle.start(QStringLiteral("1"));
    cycle.tick();
    EXPECT_TRUE(echo.sent.isEmpty());
    EXPECT_EQ(lights.count(), 0);
}

TEST_F(CycleTest, ReplyTurnsTheLightGreenAndCaptionsTheTime)
{
    echo.script = {{1, IcmpStatus::Success, 42}};
    cycle.start(QStringLiteral("1"));
    cycle.tick();

    ASSERT_EQ(lights.count(), 2);
    EXPECT_EQ(lights[0][0].value<std::uint32_t>(), MonitorCycle::Yellow);
    EXPECT_EQ(lights[1][0].value<std::uint32_t>(), MonitorCycle::Green);
    EXPECT_EQ(texts.last()[0].toString(), QStringLiteral("Time: 42"));
    EXPECT_EQ(cycle.addressText(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(captions.last()[0].toString(), QStringLiteral("Tavrik : 42ms"));
    EXPECT_EQ(icons.last()[0].toString(), QStringLiteral("A_")); // not minimised: the normal icon
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts[0][1].toInt(), 42);
    ASSERT_EQ(results.count(), 1);
    EXPECT_EQ(results[0][0].toInt(), 42);
    EXPECT_EQ(results[0][1].toString(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(results[0][2].toString(), QStringLiteral("SALAT"));
    EXPECT_FALSE(cycle.isBusy());
}

TEST_F(CycleTest, MinimisedWindowShowsProgressThenTheScaleColour)
{
    window.minimized = true;
    echo.script = {{1, IcmpStatus::Success, 450}};
    cycle.start(QStringLiteral("1"));
    cycle.tick();
    ASSERT_EQ(captions.count(), 2);
    EXPECT_EQ(captions[0][0].toString(), QStringLiteral("Pinging ..."));
    EXPECT_EQ(icons[0][0].toString(), QStringLiteral("YELLOW"));
    EXPECT_EQ(icons[1][0].toString(), QStringLiteral("DARKGREEN"));
}

TEST_F(CycleTest, FailureIsRedNoNetLoggedAsZeroAndNeverAlerts)
{
    echo.script = {{0, IcmpStatus::RequestTimedOut, 0}};
    cycle.start(QStringLiteral("1"));
    cycle.tick();

    EXPECT_EQ(lights.last()[0].value<std::uint32_t>(), MonitorCycle::Red);
    EXPECT_EQ(texts.last()[0].toString(), QStringLiteral("Ping failed :  request timed out"));
    EXPECT_EQ(captions.last()[0].toString(), QStringLiteral("Tavrik : No NET"));
    EXPECT_EQ(alerts.count(), 0);
    ASSERT_EQ(results.count(), 1);
    EXPECT_EQ(results[0][0].toInt(), 0);
    EXPECT_EQ(results[0][2].toString(), QStringLiteral("RED"));
    EXPECT_FALSE(cycle.isBusy());
}

TEST_F(CycleTest, UnresolvableHostShowsNoIPAndTakesTheFailurePath)
{
    window.host = QStringLiteral("nowhere.lab");
    cycle.start(QStringLiteral("1"));
    cycle.tick();
    EXPECT_EQ(cycle.addressText(), Ping::NoIP);
    EXPECT_EQ(lights.last()[0].value<std::uint32_t>(), MonitorCycle::Red);
    EXPECT_EQ(results.last()[2].toString(), QStringLiteral("RED"));
    EXPECT_EQ(alerts.count(), 0);
}

TEST_F(CycleTest, ZeroMillisecondReplyWithoutAddressCountsAsFailureButIsChecked)
{
    ping.pingGetHostByName(QStringLiteral("nowhere.lab")); // LastIP becomes "No IP"
    cycle.onPingOK(0);

    EXPECT_EQ(lights.last()[0].value<std::uint32_t>(), MonitorCycle::Red);
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts[0][1].toInt(), -1);
    EXPECT_EQ(captions.last()[0].toString(), QStringLiteral("Tavrik : No NET"));
    EXPECT_EQ(results.last()[2].toString(), QStringLiteral("RED"));
    EXPECT_EQ(results.last()[0].toInt(), 0);
}

TEST_F(CycleTest, BusyFlagKeepsTicksDuringAWaitFromStartingASecondProbe)
{
    cycle.start(QStringLiteral("1"));
    int nested = 0;
    echo.duringWait = [&] {
        ++nested;
        if (nested == 1)
            cycle.tick(); // a tick that arrives while the probe waits
    };
    cycle.tick();
    EXPECT_EQ(echo.sent.size(), 1);
    EXPECT_FALSE(cycle.isBusy());
}

TEST_F(CycleTest, StopDuringAProbeLetsItFinishAndStopsTicking)
{
    QSignalSpy stopped(&cycle, &MonitorCycle::stopped);
    cycle.start(QStringLiteral("1"));
    echo.duringWait = [&] { cycle.stop(); };
    cycle.tick();
    EXPECT_FALSE(cycle.isRunning());
    EXPECT_EQ(results.count(), 1) << "the probe under way still ends with its event";
    EXPECT_EQ(stopped.count(), 1);
}

TEST_F(CycleTest, CycleDeletedWhileItsProbeWaitsDoesNotCrash)
{
    auto* doomed = new MonitorCycle(ping, window, clock);
    doomed->start(QStringLiteral("1"));
    echo.duringWait = [&] { delete doomed; };
    doomed->tick();
    EXPECT_EQ(echo.sent.size(), 1);
}
