#include "Printers.h"
#include "ScriptedRoute.h"
#include "TableGrid.h"
#include "TestEnvironment.h"
#include "trace/CountryTable.h"
#include "trace/Trace.h"

#include <QHash>
#include <QMap>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <functional>
#include <memory>
#include <stdexcept>

namespace {

using namespace scripted;

// Every event of a tracer, in the order raised, as "Name: text".
struct Events {
    explicit Events(Trace& trace)
    {
        const auto add = [this](const char* name, QStringList* list) {
            return [this, name, list](const QString& text) {
                all << QLatin1String(name) + QStringLiteral(": ") + text;
                *list << text;
            };
        };
        QObject::connect(&trace, &Trace::LogString, add("LogString", &log));
        QObject::connect(&trace, &Trace::Status, add("Status", &status));
        QObject::connect(&trace, qOverload<const QString&>(&Trace::IP), add("IP", &ip));
        QObject::connect(&trace, &Trace::HostName, add("HostName", &hostName));
        QObject::connect(&trace, &Trace::OnError, add("OnError", &errors));
        QObject::connect(&trace, &Trace::busyChanged, [this](bool on) { busy << on; });
    }
    QStringList all, log, status, ip, hostName, errors;
    QList<bool> busy;
};

const QString Target = QStringLiteral("198.51.100.7");
const QString TargetName = QStringLiteral("target.example.com");

QString routerAddress(int ttl)
{
    return QStringLiteral("192.0.2.%1").arg(ttl);
}

class TraceTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        writeFileOrFail(env.programFolder() + QStringLiteral("/country.txt"),
                        "NL;Netherlands\r\nDE;Germany\r\nRU;Russian Federation;Rossiya\r\n");
        programCountryTable().clear();
        names.forward[TargetName] = Target;
        names.reverse[Target] = TargetName;
    }
    void TearDown() override { programCountryTable().clear(); }

    // Routers answer TTL 1 to `routers` with time-exceeded, the target answers TTL routers + 1. Each reply's round
    // trip equals its TTL and its own TTL is 64 - TTL, so every hop line is distinct.
    void scriptRoute(int routers)
    {
        for (int ttl = 1; ttl <= routers; ++ttl) {
            route.hops[ttl] = {routerAddress(ttl), IcmpStatus::TtlExpiredTransit, std::uint32_t(ttl), 0,
                               std::uint8_t(64 - ttl)};
            names.reverse[routerAddress(ttl)] = QStringLiteral("r%1.example.de").arg(ttl);
        }
        const int last = routers + 1;
        route.hops[last] = {Target, IcmpStatus::Success, std::uint32_t(last), 32, std::uint8_t(64 - last)};
    }

    void run(const QString& host, qint32 timeoutMs = 20)
    {
        trace->setHosts(host);
        trace->DoTrace(grid, timeoutMs);
    }

    ScriptedRoute route;
    ScriptedNames names;
    TableGrid grid;
    std::unique_ptr<Trace> trace = std::make_unique<Trace>(route, names);
    Events events{*trace};
};

} // namespace

TEST_F(TraceTest, RouteOfTwelveHopsStartsAtTtlTwoAndFillsOneRowPerHop)
{
    scriptRoute(12); // the target answers TTL 13, so it is hop 12
    run(TargetName, 700);

    QList<int> expectedTtls;
    for (int ttl = 2; ttl <= 13; ++ttl)
        expectedTtls << ttl;
    EXPECT_EQ(route.sentTtls(), expectedTtls); // TTL 1 is never probed
    for (const EchoRequest& request : route.sent) {
        EXPECT_EQ(request.destination, address(Target));
        EXPECT_EQ(request.data, QByteArrayLiteral("abcdefghijklmnopqrstuvwabcdefghi"));
        EXPECT_EQ(request.timeoutMs, 700);
        EXPECT_EQ(request.tos, 0);
        EXPECT_EQ(request.flags, 0);
    }

    EXPECT_EQ(events.hostName, QStringList{TargetName});
    EXPECT_EQ(events.ip, QStringList{Target});
    ASSERT_EQ(events.log.size(), 14);
    EXPECT_EQ(events.log.first(), QStringLiteral("Tracing Route To 198.51.100.7:"));
    EXPECT_EQ(events.log[1], QStringLiteral(" # 01 Reply from 192.0.2.2: Bytes = 0 Time = 2ms TTL = 62"));
    EXPECT_EQ(events.log[5], QStringLiteral(" # 05 Reply from 192.0.2.6: Bytes = 0 Time = 6ms TTL = 58"));
    EXPECT_EQ(events.log[9], QStringLiteral(" # 09 Reply from 192.0.2.10: Bytes = 0 Time = 10ms TTL = 54"));
    EXPECT_EQ(events.log[10], QStringLiteral(" # 10 Reply from 192.0.2.11: Bytes = 0 Time = 11ms TTL = 53"));
    EXPECT_EQ(events.log[12], QStringLiteral(" # 12 Reply from 198.51.100.7: Bytes = 32 Time = 13ms TTL = 51"));
    EXPECT_EQ(events.log.last(), QStringLiteral("Route Trace has Completed"));
    EXPECT_EQ(events.busy, (QList<bool>{true, false}));
    EXPECT_FALSE(trace->isBusy());
    EXPECT_EQ(trace->RespondingHost, Target);

    EXPECT_EQ(grid.layouts, 1);
    EXPECT_EQ(grid.text(0, HopGrid::HostName), QStringLiteral("Host name"));
    for (int hop = 1; hop <= 11; ++hop) {
        EXPECT_EQ(grid.text(hop, HopGrid::HostName), QStringLiteral("r%1.example.de").arg(hop + 1));
        EXPECT_EQ(grid.text(hop, HopGrid::Address), routerAddress(hop + 1));
        EXPECT_EQ(grid.text(hop, HopGrid::Time), QString::number(hop + 1));
        EXPECT_EQ(grid.text(hop, HopGrid::Network), QString());
        EXPECT_EQ(grid.text(hop, HopGrid::Country), QStringLiteral("Germany"));
    }
    EXPECT_EQ(grid.text(12, HopGrid::HostName), TargetName);
    EXPECT_EQ(grid.text(12, HopGrid::Address), Target);
    EXPECT_EQ(grid.filledRows(), 12);
    for (const TableGrid::Write& write : grid.writes)
        EXPECT_NE(write.column, int(HopGrid::Network)) << "the tracer leaves the Network column to whois";

    EXPECT_EQ(Trace::HopLine(9, QStringLiteral("a"), 1, 2, 3),
              QStringLiteral(" # 09 Reply from a: Bytes = 1 Time = 2ms TTL = 3"));
    EXPECT_EQ(Trace::HopLine(254, QStringLiteral("a"), 0, 0, 0),
              QStringLiteral(" # 254 Reply from a: Bytes = 0 Time = 0ms TTL = 0"));
}

TEST_F(TraceTest, EachReplyRaisesItsStatusTextsAndErrorBeforeItsHopLine)
{
    // One router per code, in TTL order, then the target.
    const QList<std::pair<std::uint32_t, QString>> table = {
        {11001, QStringLiteral("Buffer too Small")},
        {11002, QString()},
        {11003, QStringLiteral("Dest Host Not Reachable")},
        {11004, QStringLiteral("Dest Protocol Not Reachable")},
        {11005, QStringLiteral("Dest Port Not Reachable")},
        {11006, QStringLiteral("No Resources Available")},
        {11007, QStringLiteral("Bad Option")},
        {11008, QStringLiteral("Hardware Error")},
        {11009, QStringLiteral("Packet too Big")},
        {11010, QStringLiteral("Rqst Timed Out")},
        {11011, QStringLiteral("Bad Request")},
        {11012, QStringLiteral("Bad Route")},
        {11013, QStringLiteral("TTL Exprd In Transit")},
        {11014, QStringLiteral("TTL Exprd Reassemb")},
        {11015, QStringLiteral("Parameter Problem")},
        {11016, QStringLiteral("Source Quench")},
        {11017, QStringLiteral("Option too Big")},
        {11018, QStringLiteral(" Bad Destination")},
        {11019, QStringLiteral("Address Deleted")},
        {11020, QStringLiteral("Spec MTU Change")},
        {11021, QStringLiteral("MTU Change")},
        {11022, QStringLiteral("Unload")},
        {11030, QString()}, // not in the table
        {11050, QStringLiteral("General Failure")},
    };
    QStringList expectedStatus;
    QStringList expectedErrors;
    int ttl = 2;
    for (const auto& [code, statusText] : table) {
        route.hops[ttl] = {routerAddress(ttl), code};
        ++ttl;
        if (!statusText.isNull())
            expectedStatus << statusText;
        expectedStatus << QStringLiteral(" (%1)").arg(code);
        expectedErrors << QStringLiteral("%1:").arg(code);
    }
    route.hops[ttl] = {Target, IcmpStatus::Success, 1, 32, 60};
    expectedStatus << QStringLiteral("Success") << QStringLiteral(" (0)");
    run(Target);

    EXPECT_EQ(events.status, expectedStatus);
    EXPECT_EQ(events.errors, expectedErrors); // status 0 raises no error
    EXPECT_EQ(events.log.last(), QStringLiteral("Route Trace has Completed"));
    ASSERT_GE(events.all.size(), 6);
    EXPECT_EQ(events.all.mid(2, 4),
              (QStringList{QStringLiteral("LogString: Tracing Route To 198.51.100.7:"),
                           QStringLiteral("Status: Buffer too Small"), QStringLiteral("Status:  (11001)"),
                           QStringLiteral("OnError: 11001:")}));
    EXPECT_TRUE(events.all[6].startsWith(QStringLiteral("LogString:  # 01 Reply from 192.0.2.2")))
        << events.all[6].toStdString();
    // 11002 has no text: its reply raises only the code in parentheses and the code with a colon.
    const qsizetype at = events.all.indexOf(QStringLiteral("Status:  (11002)"));
    ASSERT_GT(at, 0);
    EXPECT_TRUE(events.all[at - 1].startsWith(QStringLiteral("LogString:  # 01"))) << events.all[at - 1].toStdString();
    EXPECT_EQ(events.all[at + 1], QStringLiteral("OnError: 11002:"));
    // Rows with an error status are still filled.
    EXPECT_EQ(grid.text(2, HopGrid::Address), routerAddress(3));
}

TEST_F(TraceTest, SilentHopIsProbedAgainUntilStopTraceThenCanceled)
{
    scriptRoute(4);
    route.hops.remove(3); // hop 2 never answers
    int silentProbes = 0;
    route.duringWait = [&](const EchoRequest& request) {
        if (request.ttl == 3 && ++silentProbes == 4)
            trace->StopTrace = true;
    };
    run(TargetName);
    EXPECT_EQ(route.sentTtls(), (QList<int>{2, 3, 3, 3, 3}));
    EXPECT_EQ(events.log.last(), QStringLiteral("Canceled"));
    EXPECT_FALSE(events.log.contains(QStringLiteral("Route Trace has Completed")));
    EXPECT_EQ(grid.text(1, HopGrid::Address), routerAddress(2));
    EXPECT_EQ(grid.text(2, HopGrid::Address), QString());
    EXPECT_EQ(route.liveHandles, 0);

    // The way a user cancels: a timer event that runs during the trace. Each silent probe comes back at once here;
    // the tracer waits out the time-out before probing again instead of spinning.
    route.sent.clear();
    route.duringWait = nullptr;
    QTimer::singleShot(200, trace.get(), [this] { trace->StopTrace = true; });
    run(TargetName, 25);
    EXPECT_EQ(events.log.last(), QStringLiteral("Canceled"));
    const qsizetype probes = route.sentTtls().count(3);
    EXPECT_GE(probes, 3);
    EXPECT_LE(probes, 16);
    EXPECT_FALSE(route.sentTtls().contains(4)) << "no TTL after the silent one";
}

TEST_F(TraceTest, ReplyOfAnEarlierTraceDoesNotEndTheNextOne)
{
    scriptRoute(1);
    run(TargetName);
    ASSERT_EQ(events.log.last(), QStringLiteral("Route Trace has Completed"));
    ASSERT_EQ(trace->RespondingHost, Target);

    route.hops.clear(); // now the first hop is silent
    route.duringWait = [&](const EchoRequest&) {
        if (route.sent.size() == 4)
            trace->StopTrace = true;
    };
    run(TargetName);
    EXPECT_EQ(events.log.last(), QStringLiteral("Canceled"));
    EXPECT_EQ(grid.filledRows(), 0) << "the grid is cleared when a trace starts";
    EXPECT_EQ(grid.layouts, 2);
}

TEST_F(TraceTest, CountryComesFromTheLastLabelOfTheHostName)
{
    const QStringList hostNames = {
        QStringLiteral("ams-ix.example.NL"), // upper-cased or not, the code matches
        QStringLiteral("core.example.ru"),   // the file's third field is ignored
        QStringLiteral("gw.example.com"),    // three letters: written empty
        QStringLiteral("edge.example.zz"),   // two letters, no entry: written empty
        QStringLiteral("198.51.100.42"),     // numeric last label: left alone
        QStringLiteral("localhost"),         // no dot: left alone
        QString(),                           // no reverse name: "Unknown", left alone
    };
    for (int i = 0; i < hostNames.size(); ++i) {
        route.hops[i + 2] = {routerAddress(i + 2)};
        if (!hostNames[i].isEmpty())
            names.reverse[routerAddress(i + 2)] = hostNames[i];
    }
    route.hops[int(hostNames.size()) + 2] = {Target, IcmpStatus::Success};
    run(Target);

    QMap<int, QString> countryWrites;
    for (const TableGrid::Write& write : grid.writes) {
        if (write.column == HopGrid::Country)
            countryWrites[write.row] = write.text;
    }
    const QMap<int, QString> expected = {{1, QStringLiteral("Netherlands")},
                                         {2, QStringLiteral("Russian Federation")},
                                         {3, QString()},
                                         {4, QString()},
                                         {8, QString()}}; // the target, target.example.com
    EXPECT_EQ(countryWrites, expected);
    EXPECT_EQ(grid.text(5, HopGrid::HostName), QStringLiteral("198.51.100.42"));
    EXPECT_EQ(grid.text(7, HopGrid::HostName), QStringLiteral("Unknown"));
    EXPECT_EQ(grid.text(7, HopGrid::Address), routerAddress(8));
}

TEST_F(TraceTest, EmptyHostsTracesToTheLocalHostNameAndHostsLosesItsBlanks)
{
    names.forward[names.local] = QStringLiteral("192.0.2.200");
    route.hops[2] = {QStringLiteral("192.0.2.200"), IcmpStatus::Success};
    run(QString());
    EXPECT_EQ(events.hostName, (QStringList{QString(), QStringLiteral("workstation.example.nl")}));
    EXPECT_EQ(trace->Hosts(), QStringLiteral("workstation.example.nl"));
    EXPECT_EQ(events.ip, QStringList{QStringLiteral("192.0.2.200")});
    ASSERT_EQ(route.sent.size(), 1);
    EXPECT_EQ(route.sent[0].destination, address(QStringLiteral("192.0.2.200")));
    EXPECT_EQ(events.log.last(), QStringLiteral("Route Trace has Completed"));

    trace->setHosts(QStringLiteral("  target.example.com \t "));
    EXPECT_EQ(trace->Hosts(), QStringLiteral("target.example.com \t")) << "only blanks are trimmed";
    trace->setHosts(QStringLiteral("   "));
    EXPECT_EQ(events.hostName.last(), QString());
    trace->setLog(QStringLiteral("hello"));
    EXPECT_EQ(trace->Log(), QStringLiteral("hello"));
    EXPECT_EQ(events.log.last(), QStringLiteral("hello"));
}

TEST_F(TraceTest, TraceThatCannotStartSaysWhyAndSendsNothing)
{
    const auto attempt = [&](TraceResolver& resolver, const QString& host) {
        Trace t(route, resolver);
        Events e(t);
        t.setHosts(host);
        t.DoTrace(grid, 20);
        EXPECT_EQ(e.busy, (QList<bool>{true, false})) << host.toStdString();
        EXPECT_EQ(t.Hosts(), host) << "resolving must not pad Hosts";
        return e;
    };

    // Over 64 characters, with the real socket layer: the name cannot even be padded, and nothing is looked up.
    const QString longName = QString(61, u'a') + QStringLiteral(".com");
    const Events tooLong = attempt(systemTraceResolver(), longName);
    EXPECT_EQ(tooLong.ip, QStringList{QStringLiteral("No IP")});
    EXPECT_EQ(tooLong.errors, QStringList{QStringLiteral("Cannot resolve IP")});

    const Events unknown = attempt(names, QStringLiteral("nowhere.example.nl"));
    EXPECT_EQ(unknown.errors, QStringList{QStringLiteral("Cannot resolve IP")});

    route.failOpen = true;
    const Events noHandle = attempt(names, TargetName);
    EXPECT_EQ(noHandle.ip, QStringList{Target});
    EXPECT_EQ(noHandle.errors, QStringList{QStringLiteral("Cannot create packet file")});
    EXPECT_TRUE(noHandle.log.isEmpty());

    names.started = false;
    const Events noSockets = attempt(names, TargetName);
    EXPECT_EQ(noSockets.errors, QStringList{QStringLiteral("Cannot start WinSock")});
    EXPECT_TRUE(noSockets.ip.isEmpty());

    EXPECT_TRUE(route.sent.isEmpty());
    EXPECT_EQ(route.opened, 0);
}

TEST_F(TraceTest, RouteThatNeverReachesTheTargetEndsAfterTtl255WithoutAMessage)
{
    for (int ttl = 1; ttl <= 255; ++ttl)
        route.hops[ttl] = {routerAddress(ttl % 250 + 1)};
    run(Target);
    EXPECT_EQ(route.sent.size(), 254);
    EXPECT_EQ(route.sent.last().ttl, 255);
    EXPECT_TRUE(events.log.last().startsWith(QStringLiteral(" # 254 Reply from "))) << events.log.last().toStdString();
    EXPECT_EQ(grid.filledRows(), 254);
    EXPECT_EQ(events.busy, (QList<bool>{true, false}));
}

TEST_F(TraceTest, SurvivesErrorsReentryAndBeingDestroyedDuringATrace)
{
    // A grid that fails on its third row: the error is reported and the finishing steps run.
    class FailingGrid final : public HopGrid {
    public:
        void initLayout() override { inner.initLayout(); }
        QString text(int row, int column) const override { return inner.text(row, column); }
        void setText(int row, int column, const QString& text) override
        {
            if (row == 3)
                throw std::runtime_error("grid is gone");
            inner.setText(row, column, text);
        }
        TableGrid inner;
    } failing;
    scriptRoute(6);
    trace->setHosts(TargetName);
    trace->DoTrace(failing, 20);
    EXPECT_EQ(events.errors.last(), QStringLiteral("0: grid is gone"));
    EXPECT_EQ(events.busy, (QList<bool>{true, false}));
    EXPECT_FALSE(trace->isBusy());
    EXPECT_EQ(route.liveHandles, 0);

    // A second DoTrace from inside the first one's events is refused; the first goes on undisturbed.
    TableGrid other;
    route.duringWait = [&](const EchoRequest&) { trace->DoTrace(other, 20); };
    route.sent.clear();
    run(TargetName);
    EXPECT_EQ(other.layouts, 0);
    EXPECT_EQ(route.sent.size(), 6);
    EXPECT_EQ(events.log.last(), QStringLiteral("Route Trace has Completed"));

    // Destroyed while waiting for a reply, and while waiting out a silent hop's time-out.
    for (const bool silent : {false, true}) {
        events.busy.clear();
        route.sent.clear();
        if (silent) {
            route.hops.remove(4);
            route.duringWait = nullptr;
            QTimer::singleShot(60, [this] { trace.reset(); });
        } else {
            route.duringWait = [&](const EchoRequest&) {
                if (route.sent.size() == 2)
                    trace.reset();
            };
        }
        run(TargetName);
        EXPECT_EQ(trace, nullptr);
        EXPECT_EQ(events.busy, (QList<bool>{true, false})) << "the pointer comes back when the tracer goes";
        EXPECT_EQ(route.liveHandles, 0);
        EXPECT_LE(route.sent.size(), silent ? 10 : 2);
        trace = std::make_unique<Trace>(route, names);
        events.busy.clear();
        QObject::connect(trace.get(), &Trace::busyChanged, [this](bool on) { events.busy << on; });
    }
}
