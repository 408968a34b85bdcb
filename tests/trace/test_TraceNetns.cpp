#include "Printers.h"
#include "TestEnvironment.h"
#include "platform/IcmpEcho.h"
#include "tests/support/NetnsLab.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// client -- r1 -- r2 -- r3 -- r4 -- target. TTL 1 is never probed, so r2 is hop 1 and the target hop 4. The
// client's hosts file names the routers and the target; r3 answers 198.19.1.0/24 with "unreachable" and drops
// 198.19.3.0/24. The trace runs in a child process under `ip netns exec`, the only way its reverse lookups see that
// hosts file; the client has no route out of the lab, so a name that is not in it fails without reaching a name
// server.
class TraceLabTest : public ::testing::TestWithParam<IcmpSocketMode> {
protected:
    void SetUp() override
    {
        if (!NetnsLab::haveRoot())
            GTEST_SKIP() << "needs root: builds network namespaces and opens ICMP sockets in them";
        ASSERT_TRUE(buildChain(lab, 4, &chain)) << lab.error().toStdString();
        lab.addRoute(chain.routers[2], {QStringLiteral("unreachable"), QStringLiteral("198.19.1.0/24")});
        lab.addRoute(chain.routers[2], {QStringLiteral("blackhole"), QStringLiteral("198.19.3.0/24")});
        lab.sysctl(chain.client, QStringLiteral("net.ipv4.ping_group_range"), QStringLiteral("0 2147483647"));
        char name[256] = {};
        ::gethostname(name, sizeof name - 1);
        localName = QString::fromLocal8Bit(name);
        // The machine's own name points at the target, after the target's own line so reverse lookups still give
        // www.example.com.
        lab.setHosts(chain.client, QStringLiteral("127.0.0.1 localhost\n"
                                                  "198.18.0.1 client.lab.test\n"
                                                  "198.18.0.2 gw.lab.test\n"
                                                  "198.18.1.2 core.ams.example.nl\n"
                                                  "198.18.2.2 edge.fra.example.de\n"
                                                  "198.18.3.2 border.msk.example.ru\n"
                                                  "198.18.4.2 www.example.com\n"
                                                  "198.18.4.2 ") +
                                       localName + QLatin1Char('\n'));
        ASSERT_TRUE(lab.ok()) << lab.error().toStdString();
        // The names of the country column come from the table the build generated.
        ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/country.txt"),
                                env.programFolder() + QStringLiteral("/country.txt")));
    }

    struct Run {
        QList<int> sent;
        QMap<QString, QStringList> events;
        QStringList order;
        QMap<int, QStringList> rows; // columns 1 to 5
        int elapsedMs = -1;
        QString errors;
    };

    Run trace(const QString& host, int stopAfterMs = 0)
    {
        QStringList args{QCoreApplication::applicationDirPath() + QStringLiteral("/trace_driver"),
                         GetParam() == IcmpSocketMode::Raw ? QStringLiteral("--raw") : QStringLiteral("--datagram"),
                         QStringLiteral("--timeout"), QStringLiteral("300")};
        if (stopAfterMs > 0)
            args << QStringLiteral("--stop-after") << QString::number(stopAfterMs);
        if (!host.isNull())
            args << host;
        const QStringList command = NetnsLab::execArguments(chain.client, args);
        QProcess driver;
        driver.start(command.first(), command.mid(1));
        Run run;
        if (!driver.waitForFinished(60000)) {
            driver.kill();
            driver.waitForFinished();
        }
        run.errors = QString::fromLocal8Bit(driver.readAllStandardError());
        EXPECT_EQ(driver.exitCode(), 0) << run.errors.toStdString();
        for (const QString& line : QString::fromUtf8(driver.readAllStandardOutput()).split(u'\n')) {
            const QStringList f = line.split(u'\t');
            if (f[0] == QLatin1String("SEND"))
                run.sent << f.value(1).toInt();
            else if (f[0] == QLatin1String("EVENT") && f.size() == 3) {
                run.events[f[1]] << f[2];
                run.order << f[1] + QStringLiteral(": ") + f[2];
            } else if (f[0] == QLatin1String("ROW") && f.size() == 7)
                run.rows[f[1].toInt()] = f.mid(2);
            else if (f[0] == QLatin1String("DONE"))
                run.elapsedMs = f.value(1).toInt();
        }
        return run;
    }

    static QString address(int node) { return QStringLiteral("198.18.%1.2").arg(node - 1); }

    ScopedProgramEnvironment env;
    NetnsLab lab;
    LabChain chain;
    QString localName;
};

} // namespace

void PrintTo(IcmpSocketMode mode, std::ostream* out)
{
    *out << (mode == IcmpSocketMode::Raw ? "raw socket" : "datagram socket");
}

TEST_P(TraceLabTest, RouteThroughFourRoutersFillsNamesAddressesTimesAndCountries)
{
    const Run run = trace(QStringLiteral("www.example.com"));
    EXPECT_EQ(run.sent, (QList<int>{2, 3, 4, 5}));
    EXPECT_EQ(run.events[QStringLiteral("HostName")], QStringList{QStringLiteral("www.example.com")});
    EXPECT_EQ(run.events[QStringLiteral("IP")], QStringList{QStringLiteral("198.18.4.2")});
    EXPECT_EQ(run.events[QStringLiteral("busyChanged")], (QStringList{QStringLiteral("1"), QStringLiteral("0")}));

    const QStringList names = {QStringLiteral("core.ams.example.nl"), QStringLiteral("edge.fra.example.de"),
                               QStringLiteral("border.msk.example.ru"), QStringLiteral("www.example.com")};
    const QStringList countries = {QStringLiteral("Netherlands"), QStringLiteral("Germany"),
                                   QStringLiteral("Russian Federation"), QString()};
    ASSERT_EQ(run.rows.keys(), (QList<int>{1, 2, 3, 4})) << run.errors.toStdString();
    const QStringList log = run.events[QStringLiteral("LogString")];
    ASSERT_EQ(log.size(), 6);
    EXPECT_EQ(log.first(), QStringLiteral("Tracing Route To 198.18.4.2:"));
    const QRegularExpression hopLine(
        QStringLiteral("^ # 0(\\d) Reply from ([\\d.]+): Bytes = (\\d+) Time = (\\d+)ms TTL = (\\d+)$"));
    for (int hop = 1; hop <= 4; ++hop) {
        const QStringList& row = run.rows[hop];
        const auto line = hopLine.match(log[hop]);
        ASSERT_TRUE(line.hasMatch()) << log[hop].toStdString();
        EXPECT_EQ(line.captured(1).toInt(), hop);
        EXPECT_EQ(line.captured(2), address(hop + 1));
        EXPECT_EQ(line.captured(3), hop == 4 ? QStringLiteral("32") : QStringLiteral("0"));
        EXPECT_EQ(line.captured(5).toInt(), 64 - hop) << "the answer crossed the routers before hop " << hop;
        EXPECT_EQ(row[0], names[hop - 1]);
        EXPECT_EQ(row[1], address(hop + 1));
        EXPECT_EQ(row[2], line.captured(4)) << "the time column holds the hop line's round trip";
        EXPECT_LT(row[2].toInt(), 100);
        EXPECT_EQ(row[3], QString()) << "the Network column belongs to whois";
        EXPECT_EQ(row[4], countries[hop - 1]);
    }
    EXPECT_EQ(log.last(), QStringLiteral("Route Trace has Completed"));

    QStringList status;
    for (int i = 0; i < 3; ++i)
        status << QStringLiteral("TTL Exprd In Transit") << QStringLiteral(" (11013)");
    status << QStringLiteral("Success") << QStringLiteral(" (0)");
    EXPECT_EQ(run.events[QStringLiteral("Status")], status);
    EXPECT_EQ(run.events[QStringLiteral("OnError")], QStringList(3, QStringLiteral("11013:")));
}

TEST_P(TraceLabTest, SilentHopIsProbedAgainUntilStopTrace)
{
    const Run run = trace(QStringLiteral("198.19.3.7"), 1500);
    ASSERT_FALSE(run.sent.isEmpty());
    EXPECT_EQ(run.sent.first(), 2);
    EXPECT_GE(run.sent.count(3), 3) << "300 ms time-outs for 1.5 s";
    EXPECT_EQ(run.sent.count(2) + run.sent.count(3), run.sent.size()) << "never past the silent hop";
    EXPECT_EQ(run.rows.keys(), QList<int>{1});
    EXPECT_EQ(run.rows.value(1).value(0), QStringLiteral("core.ams.example.nl"));
    EXPECT_EQ(run.events[QStringLiteral("LogString")].last(), QStringLiteral("Canceled"));
    EXPECT_GE(run.elapsedMs, 1400);
    EXPECT_LT(run.elapsedMs, 3000);
}

TEST_P(TraceLabTest, UnreachableRouteInARouterGivesItsStatusAndError)
{
    const Run run = trace(QStringLiteral("198.19.1.7"), 1500);
    ASSERT_TRUE(run.rows.contains(2)) << run.errors.toStdString();
    EXPECT_EQ(run.rows[2][0], QStringLiteral("edge.fra.example.de"));
    EXPECT_EQ(run.rows[2][1], QStringLiteral("198.18.2.2"));
    EXPECT_EQ(run.rows[2][4], QStringLiteral("Germany"));
    const QStringList& order = run.order;
    const qsizetype at = order.indexOf(QStringLiteral("Status: Dest Host Not Reachable"));
    ASSERT_GT(at, 0) << order.join(u'\n').toStdString();
    EXPECT_EQ(
        order.mid(at, 4),
        (QStringList{QStringLiteral("Status: Dest Host Not Reachable"), QStringLiteral("Status:  (11003)"),
                     QStringLiteral("OnError: 11003:"),
                     QStringLiteral("LogString:  # 02 Reply from 198.18.2.2: Bytes = 0 Time = ") + run.rows[2][2] +
                         QStringLiteral("ms TTL = ") + order[at + 3].section(QStringLiteral("TTL = "), 1)}));
    EXPECT_EQ(run.events[QStringLiteral("LogString")].last(), QStringLiteral("Canceled"));
}

TEST_P(TraceLabTest, UnresolvableHostsAndTheLocalHostName)
{
    for (const QString& host : {QStringLiteral("no-such-host.example.nl"), QString(65, u'h')}) {
        const Run run = trace(host);
        EXPECT_EQ(run.events[QStringLiteral("OnError")], QStringList{QStringLiteral("Cannot resolve IP")});
        EXPECT_EQ(run.events[QStringLiteral("IP")], QStringList{QStringLiteral("No IP")});
        EXPECT_TRUE(run.sent.isEmpty());
        EXPECT_TRUE(run.rows.isEmpty());
    }

    const Run local = trace(QString());
    EXPECT_EQ(local.events[QStringLiteral("HostName")], (QStringList{QString(), localName}));
    EXPECT_EQ(local.events[QStringLiteral("IP")], QStringList{QStringLiteral("198.18.4.2")});
    EXPECT_EQ(local.rows.value(4).value(0), QStringLiteral("www.example.com"));
    EXPECT_EQ(local.events[QStringLiteral("LogString")].last(), QStringLiteral("Route Trace has Completed"));
}

INSTANTIATE_TEST_SUITE_P(BothSockets, TraceLabTest, ::testing::Values(IcmpSocketMode::Raw, IcmpSocketMode::Datagram),
                         [](const auto& info) {
                             return std::string(info.param == IcmpSocketMode::Raw ? "Raw" : "Datagram");
                         });
