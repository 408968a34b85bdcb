#include "monitor/Ping.h"

#include "ScriptedEcho.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    bool result = false;
    QList<qint32> ok;
    QStringList errors;
};

Outcome probe(Ping& ping, const QString& host, qint16 timeoutMs = 900)
{
    Outcome outcome;
    QObject::connect(&ping, &Ping::PingOK, [&](qint32 ms) { outcome.ok.append(ms); });
    QObject::connect(&ping, &Ping::PingError, [&](const QString& m) { outcome.errors.append(m); });
    outcome.result = ping.DoPing(host, timeoutMs);
    QObject::disconnect(&ping, nullptr, nullptr, nullptr);
    return outcome;
}

class PingTest : public ::testing::Test {
protected:
    ScriptedEcho echo;
    TableResolver resolver;
    Ping ping{echo, resolver};
};

} // namespace

TEST_F(PingTest, ReplyRaisesPingOKWithTheRoundTripAndSendsTheFixedRequest)
{
    resolver.table.insert(QStringLiteral("router.lab"), QStringLiteral("10.0.0.1"));
    echo.script = {{1, IcmpStatus::Success, 37}};

    const Outcome outcome = probe(ping, QStringLiteral("router.lab"), 900);

    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(outcome.ok, QList<qint32>{37});
    EXPECT_TRUE(outcome.errors.isEmpty());
    EXPECT_EQ(ping.LastIP(), QStringLiteral("10.0.0.1")); // four bytes in memory order, no leading zeros
    ASSERT_EQ(echo.sent.size(), 1);
    EXPECT_EQ(echo.sent[0].destination, ::inet_addr("10.0.0.1"));
    EXPECT_EQ(echo.sent[0].data, QByteArrayLiteral("Echo this String of data"));
    EXPECT_EQ(echo.sent[0].ttl, 255);
    EXPECT_EQ(echo.sent[0].tos, 0);
    EXPECT_EQ(echo.sent[0].timeoutMs, 900);
}

TEST_F(PingTest, FailuresRaiseOnePingErrorWithTheStatusText)
{
    struct Case {
        ScriptedEcho::Outcome outcome;
        const char* message;
    };
    const Case cases[] = {
        {{0, IcmpStatus::RequestTimedOut, 0}, "Ping failed :  request timed out"},
        {{1, IcmpStatus::DestHostUnreachable, 0}, "Ping failed To complete: destination host unreachable"},
        {{1, IcmpStatus::DestNetUnreachable, 0}, "Ping failed To complete: destination net unreachable"},
        {{1, IcmpStatus::BadRequest, 0}, "Ping failed To complete: bad request"},
        {{0, IcmpStatus::GeneralFailure, 0}, "Ping failed : general failure"},
        {{1, IcmpStatus::TtlExpiredTransit, 0}, "Ping failed To complete: unspecified error"},
        {{1, 4242, 0}, "Ping failed To complete: unspecified error"},
    };
    for (const Case& c : cases) {
        echo.script = {c.outcome};
        const Outcome outcome = probe(ping, QStringLiteral("127.0.0.1"));
        EXPECT_FALSE(outcome.result) << c.message;
        EXPECT_TRUE(outcome.ok.isEmpty()) << c.message;
        EXPECT_EQ(outcome.errors, QStringList{QLatin1String(c.message)});
    }
}

TEST_F(PingTest, UnresolvableNameFailsWithoutSendingAnything)
{
    const Outcome outcome = probe(ping, QStringLiteral("nowhere.lab"));

    EXPECT_FALSE(outcome.result);
    EXPECT_EQ(ping.LastIP(), Ping::NoIP);
    EXPECT_EQ(outcome.errors, QStringList{QStringLiteral("Ping failed : bad destination")});
    EXPECT_TRUE(echo.sent.isEmpty()) << "an unresolved name must never become a broadcast";
}

TEST_F(PingTest, HostLongerThanSixtyFourCharactersIsRefused)
{
    const QString name64 = QString(60, u'a') + QStringLiteral(".lab");
    resolver.table.insert(name64, QStringLiteral("10.0.0.9"));
    EXPECT_TRUE(probe(ping, name64).result);

    const Outcome outcome = probe(ping, QString(65, u'a'));
    EXPECT_FALSE(outcome.result);
    ASSERT_EQ(outcome.errors.size(), 1);
    EXPECT_TRUE(outcome.errors[0].startsWith(QStringLiteral("Ping failed : "))) << outcome.errors[0].toStdString();
    EXPECT_EQ(ping.LastIP(), Ping::NoIP);
    EXPECT_EQ(echo.sent.size(), 1);
    EXPECT_FALSE(resolver.asked.contains(QString(65, u'a')));
}

TEST_F(PingTest, DottedAddressesAreNotSentToTheResolver)
{
    EXPECT_EQ(ping.pingGetHostByName(QStringLiteral("192.0.2.10")), QStringLiteral("192.0.2.10"));
    EXPECT_TRUE(resolver.asked.isEmpty());
    EXPECT_EQ(Ping::IP2Long(QStringLiteral("1.2.3.4")), ::inet_addr("1.2.3.4"));
    EXPECT_EQ(Ping::IP2Long(QStringLiteral("not an address")), 0xFFFFFFFFu);
}
