#include "monitor/Settings.h"
#include "monitor/SmsAlerts.h"
#include "platform/SmsGateway.h"

#include "LineServer.h"
#include "LocalHttpServer.h"
#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The real HTTP gateway with a short time-out of its own: the alert rules give every gateway 20 s, too long to
// wait for in a test of what happens beyond it.
class ShortTimeoutGateway final : public SmsGateway {
public:
    ShortTimeoutGateway(const QString& url, int seconds) : m_http(QUrl(url)) { m_http.setTimeoutSeconds(seconds); }
    bool send(const QString& account, const QString& password, const QString& countryCode, const QString& carrier,
              const QString& mobileNumber, const QString& text, QString* error) override
    {
        return m_http.send(account, password, countryCode, carrier, mobileNumber, text, error);
    }

private:
    HttpSmsGateway m_http;
};

class SmsGatewayTest : public ProgramFolderTest {
protected:
    SmsGatewayTest()
    {
        settings.setInteger(Keys::SendSMS, 1);
        settings.setText(Keys::Carrier, QStringLiteral("lab"));
        settings.setText(Keys::CountryCode, QStringLiteral("31"));
        settings.setText(Keys::ICQUIN, QStringLiteral("12345"));
        settings.setText(Keys::MobileNumber, QStringLiteral("5551234"));
        settings.setText(Keys::ICQPass, QStringLiteral("pw"));
        alerts.setGatewayFactory(
            [this](const QString& url) { return std::make_unique<ShortTimeoutGateway>(url, timeoutSeconds); });
    }
    // One reply above the threshold through the alert rules; what the gateway made of it.
    struct Outcome {
        bool sent = false;
        QString failure;
        qint64 elapsedMs = 0;
    };
    Outcome alertThrough(const QUrl& url)
    {
        settings.setText(Keys::GatewayURL, url.toString());
        settings.remove(Keys::LastTime);
        EXPECT_FALSE(alerts.InitSMS());
        alerts.timSent().stop();
        QSignalSpy failed(&alerts, &SmsAlerts::sendFailed);
        QElapsedTimer timer;
        timer.start();
        alerts.CheckSMS(QStringLiteral("h1"), 500, true);
        Outcome outcome;
        outcome.elapsedMs = timer.elapsed();
        outcome.sent = !settings.text(Keys::LastTime).isEmpty();
        if (!failed.isEmpty())
            outcome.failure = failed[0][0].toString();
        EXPECT_FALSE(alerts.isSending());
        EXPECT_NE(outcome.sent, !outcome.failure.isEmpty()) << "exactly one of sent and failed";
        return outcome;
    }

    int timeoutSeconds = 1; // of the gateways made from now on
    Settings settings;
    ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(7, 0))};
    SmsAlerts alerts{settings, clock};
};

// Answers one HTTP request with the raw bytes `answer` once the request head has arrived, then keeps the
// connection until the client closes it.
LineServer::Script rawAnswer(QByteArray answer, bool hold = true)
{
    return [answer, hold](LineServer::Connection& c, int) {
        while (c.readLine(2000).trimmed().size() > 0) {
        }
        c.readLine(100); // the form body has no line end: whatever came within 100 ms
        c.send(answer);
        if (hold)
            c.waitForClientClose(10000);
    };
}

} // namespace

TEST_F(SmsGatewayTest, AnswerBeyondTheTimeoutIsAFailureAndALateAnswerChangesNothing)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.setAnswer({200, "OK", "queued", {}, 1600, false});
    const Outcome late = alertThrough(server.url(QStringLiteral("/sms")));
    EXPECT_FALSE(late.sent);
    EXPECT_EQ(late.failure, QStringLiteral("The SMS gateway 127.0.0.1 did not answer within 1 s"));
    EXPECT_LT(late.elapsedMs, 4000);
    QTest::qWait(900); // the answer arrives on a connection the client gave up
    EXPECT_TRUE(settings.text(Keys::LastTime).isEmpty());

    server.setAnswer({200, "OK", "queued", {}, 300, false});
    EXPECT_TRUE(alertThrough(server.url(QStringLiteral("/sms"))).sent) << "slow but within the time-out";
}

TEST_F(SmsGatewayTest, HugeAndNonUtf8AnswersAreJudgedByTheirStatusAlone)
{
    // The status is known and far more is promised than the excerpt needs: the send need not wait for the rest.
    LineServer endless(rawAnswer("HTTP/1.1 200 OK\r\nContent-Length: 1073741824\r\n\r\n" + QByteArray(1 << 20, 'z')));
    timeoutSeconds = 20;
    Outcome outcome = alertThrough(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(endless.port())));
    EXPECT_TRUE(outcome.sent) << outcome.failure.toStdString();
    EXPECT_LT(outcome.elapsedMs, 10000) << "it did not wait for the time-out";
    timeoutSeconds = 1;

    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.setAnswer({200, "OK", QByteArray("\xff\xfe\x00\xc3\x28 accepted \xa0\xa1", 17), {}, 0, false});
    outcome = alertThrough(server.url());
    EXPECT_TRUE(outcome.sent) << outcome.failure.toStdString();

    server.setAnswer({400, "B\xe4\xff Request", QByteArray("\x00\x01\x1b[31m\xff\xfe refused", 17), {}, 0, false});
    outcome = alertThrough(server.url());
    EXPECT_FALSE(outcome.sent);
    EXPECT_TRUE(outcome.failure.startsWith(QStringLiteral("The SMS gateway answered HTTP 400")))
        << outcome.failure.toStdString();
    EXPECT_TRUE(outcome.failure.endsWith(QStringLiteral("refused"))) << outcome.failure.toStdString();
    for (const QChar c : outcome.failure)
        EXPECT_FALSE(c.category() == QChar::Other_Control) << int(c.unicode());
}

TEST_F(SmsGatewayTest, AnswersThatAreNoHttpOrNeverFinishTheirHeadAreFailures)
{
    const QByteArray answers[] = {
        "HTTP/1.1 200 OK\r\nX-Queue: 1\r\n", // the head never ends
        "\xff\xfe\x00 this is not HTTP at all\r\n\r\n",
        "", // closed without a byte
    };
    for (const QByteArray& answer : answers) {
        LineServer raw(rawAnswer(answer, !answer.isEmpty() && answer.startsWith("HTTP")));
        const Outcome outcome = alertThrough(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(raw.port())));
        EXPECT_FALSE(outcome.sent) << answer.toStdString();
        EXPECT_TRUE(outcome.failure.contains(QStringLiteral("127.0.0.1"))) << outcome.failure.toStdString();
        EXPECT_LT(outcome.elapsedMs, 4000) << answer.toStdString();
    }
}
