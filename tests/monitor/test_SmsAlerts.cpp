#include "monitor/SmsAlerts.h"

#include "monitor/Settings.h"

#include "LocalHttpServer.h"
#include "TestEnvironment.h"

#include <QSignalSpy>

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

// What the fake gateways saw, shared so it outlives each gateway that InitSMS replaces.
struct GatewayLog {
    QStringList urls;         // one per gateway created
    QList<QStringList> calls; // the six send arguments of each call
    bool succeed = true;
    std::function<void()> duringSend; // runs once, where the real gateway would wait with events running
};

class FakeGateway final : public SmsGateway {
public:
    explicit FakeGateway(std::shared_ptr<GatewayLog> log) : m_log(std::move(log)) { setTimeoutSeconds(1); }
    bool send(const QString& account, const QString& password, const QString& countryCode, const QString& carrier,
              const QString& mobileNumber, const QString& text, QString* error) override
    {
        m_log->calls.append({account, password, countryCode, carrier, mobileNumber, text});
        if (auto during = std::exchange(m_log->duringSend, {}))
            during();
        if (!m_log->succeed)
            *error = QStringLiteral("gateway says no");
        return m_log->succeed;
    }

private:
    std::shared_ptr<GatewayLog> m_log;
};

const QDate Day1(2026, 3, 10);

class SmsAlertsTest : public ProgramFolderTest {
protected:
    SmsAlertsTest()
    {
        settings.setText(Keys::SendSMS, QStringLiteral("1"));
        settings.setText(Keys::Carrier, QStringLiteral(" MTS "));
        settings.setText(Keys::CountryCode, QStringLiteral(" 7"));
        settings.setText(Keys::ICQUIN, QStringLiteral("123456 "));
        settings.setText(Keys::MobileNumber, QStringLiteral(" 9161234567 "));
        settings.setText(Keys::ICQPass, QStringLiteral(" pw "));
        settings.setText(Keys::GatewayURL, QStringLiteral(" http://127.0.0.1:9/sms "));
        useFakes(alerts);
    }
    void useFakes(SmsAlerts& target)
    {
        target.setGatewayFactory([log = log](const QString& url) {
            log->urls.append(url);
            return std::make_unique<FakeGateway>(log);
        });
    }
    void set(const SettingKey& key, const char* value) { settings.setText(key, QString::fromUtf8(value)); }
    void init()
    {
        const std::optional<SmsInitError> error = alerts.InitSMS();
        ASSERT_FALSE(error) << error->error.text.toStdString();
    }
    // One reply while the cycle runs, after the quiet interval of any earlier message; true when a message went out.
    bool replyAt(const QDateTime& when, int value = 500, const QString& host = QStringLiteral("h1"))
    {
        alerts.timSent().stop();
        clock.setNow(when);
        const qsizetype before = log->calls.size();
        alerts.CheckSMS(host, value, true);
        return log->calls.size() > before;
    }
    bool replyAt(QTime time, int value = 500) { return replyAt(QDateTime(Day1, time), value); }
    QString lastText() const { return log->calls.isEmpty() ? QString() : log->calls.constLast().constLast(); }

    Settings settings;
    ManualClock clock{QDateTime(Day1, QTime(10, 0))};
    std::shared_ptr<GatewayLog> log = std::make_shared<GatewayLog>();
    SmsAlerts alerts{settings, clock};
};

} // namespace

TEST_F(SmsAlertsTest, InitReadsTrimmedAccountAndSetsUpTheGateway)
{
    init();
    const AlertConfig& c = alerts.config();
    EXPECT_EQ(QStringList({c.account, c.password, c.countryCode, c.carrier, c.mobileNumber}),
              QStringList({"123456", "pw", "7", "MTS", "9161234567"}));
    EXPECT_EQ(std::tuple(c.ifGreater, c.greater, c.ifLess, c.ifTimeout, c.onceTime), std::tuple(1, 100, 0, 0, 5));
    EXPECT_EQ(c.threshold, QStringLiteral("@HOST@:\r\nPing time - @PING@"));
    EXPECT_EQ(log->urls, QStringList{"http://127.0.0.1:9/sms"});
    ASSERT_NE(alerts.gateway(), nullptr);
    EXPECT_EQ(alerts.gateway()->timeoutSeconds(), 20);
    EXPECT_EQ(alerts.findChild<QTimer*>(QStringLiteral("timSent")), &alerts.timSent());
    EXPECT_TRUE(alerts.timSent().isSingleShot());
    EXPECT_FALSE(alerts.timSent().isActive());
    EXPECT_EQ(alerts.timSent().interval(), 20000);
}

TEST_F(SmsAlertsTest, IncompleteAccountLeavesNoGatewayAndSendingFails)
{
    const std::pair<const SettingKey*, const char*> gaps[] = {
        {&Keys::SendSMS, "0"},  {&Keys::MobileNumber, " 12 "}, {&Keys::Carrier, "  "},  {&Keys::CountryCode, ""},
        {&Keys::ICQUIN, "123"}, {&Keys::ICQPass, " "},         {&Keys::GatewayURL, ""},
    };
    for (const auto& [key, value] : gaps) {
        init();
        ASSERT_NE(alerts.gateway(), nullptr);
        const QString kept = settings.text(*key);
        set(*key, value);
        init();
        EXPECT_EQ(alerts.gateway(), nullptr) << key->key;
        EXPECT_EQ(alerts.timSent().interval(), 1000) << key->key;
        settings.setText(*key, kept);
    }

    set(Keys::ICQPass, "");
    init();
    QSignalSpy status(&alerts, &SmsAlerts::statusText), failed(&alerts, &SmsAlerts::sendFailed);
    EXPECT_FALSE(replyAt(QTime(10, 0), 500));
    EXPECT_EQ(status.size(), 1) << "a firing rule still composes and tries to send";
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0][0].toString().contains(QStringLiteral("incomplete")));
    EXPECT_EQ(settings.text(Keys::LastTime), QString());
}

TEST_F(SmsAlertsTest, InitReportsABadSettingWithItsLine)
{
    set(Keys::Greater, "abc");
    std::optional<SmsInitError> error = alerts.InitSMS();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->line, SmsAlerts::InitReadLine);
    EXPECT_EQ(error->error.number, 13);
    EXPECT_TRUE(error->error.text.contains(QStringLiteral("Greater"))) << error->error.text.toStdString();
    EXPECT_EQ(alerts.gateway(), nullptr);
    QSignalSpy status(&alerts, &SmsAlerts::statusText);
    EXPECT_FALSE(replyAt(QTime(10, 0), 500));
    EXPECT_EQ(status.size(), 0) << "half-read rules must not send";

    set(Keys::Greater, "40000");
    error = alerts.InitSMS();
    ASSERT_TRUE(error);
    EXPECT_EQ(std::pair(error->line, error->error.number), std::pair(1, 6));

    set(Keys::Greater, "100");
    alerts.setGatewayFactory([](const QString&) { return nullptr; });
    error = alerts.InitSMS();
    ASSERT_TRUE(error);
    EXPECT_EQ(std::pair(error->line, error->error.number), std::pair(SmsAlerts::InitGatewayLine, 429));
}

TEST_F(SmsAlertsTest, DefaultsSendAboveTheThresholdExceptInTheQuietInterval)
{
    init();
    QSignalSpy status(&alerts, &SmsAlerts::statusText), sign(&alerts, &SmsAlerts::sentSignVisible);
    alerts.CheckSMS(QStringLiteral("h1"), 101, false);
    alerts.CheckSMS(QStringLiteral("h1"), 100, true);
    EXPECT_TRUE(log->calls.isEmpty()) << "not while the cycle stands still, not at the threshold";

    alerts.CheckSMS(QStringLiteral("h1"), 101, true);
    ASSERT_EQ(log->calls.size(), 1);
    EXPECT_EQ(log->calls[0], QStringList({"123456", "pw", "7", "MTS", "9161234567",
                                          "Tavrik ping statistics. h1:\r\nPing time - 101"}));
    EXPECT_EQ(status.size(), 1);
    EXPECT_EQ(status[0][0].toString(), QStringLiteral("Sending SMS ..."));
    ASSERT_EQ(sign.size(), 1);
    EXPECT_TRUE(sign[0][0].toBool());
    EXPECT_EQ(settings.text(Keys::LastTime), QStringLiteral("10/03/2026 10:00:00"));

    clock.advanceMs(19000);
    alerts.CheckSMS(QStringLiteral("h1"), 900, true);
    EXPECT_EQ(log->calls.size(), 1) << "timSent still runs";
    EXPECT_TRUE(alerts.timSent().isActive());

    alerts.timSent().setInterval(30); // restarts it, short enough to watch it fire
    ASSERT_TRUE(sign.wait(2000));
    EXPECT_FALSE(sign.constLast()[0].toBool());
    EXPECT_FALSE(alerts.timSent().isActive());
    alerts.CheckSMS(QStringLiteral("h1"), 900, true);
    EXPECT_EQ(log->calls.size(), 2);
    EXPECT_EQ(settings.text(Keys::LastTime), QStringLiteral("10/03/2026 10:00:19"));
}

TEST_F(SmsAlertsTest, OnlyTheFirstRuleThatIsOnIsEvaluated)
{
    set(Keys::IfLess, "1");
    set(Keys::Less, "50");
    set(Keys::IfTimeout, "1");
    init();
    EXPECT_FALSE(replyAt(QTime(10, 0), -1));
    EXPECT_FALSE(replyAt(QTime(10, 0), 20));
    EXPECT_TRUE(replyAt(QTime(10, 0), 150));

    set(Keys::IfGreater, "0");
    set(Keys::Less, "100");
    set(Keys::Template, "@HOST@ @PING@/@PING@ @host@");
    init();
    EXPECT_FALSE(replyAt(QTime(10, 0), 100));
    EXPECT_TRUE(replyAt(QTime(10, 0), -1));
    EXPECT_EQ(lastText(), QStringLiteral("Tavrik ping statistics. h1 -1/-1 @host@"));

    set(Keys::IfLess, "0");
    set(Keys::TimeoutTemplate, "@HOST@ @PING@ at @TIME@");
    init();
    EXPECT_FALSE(replyAt(QTime(10, 0), 5));
    EXPECT_TRUE(replyAt(QTime(10, 7, 9), -1));
    EXPECT_EQ(lastText(), QStringLiteral("Tavrik ping statistics. h1 @PING@ at 10.03.2026 10:07:09"));

    set(Keys::IfTimeout, "0");
    init();
    EXPECT_FALSE(replyAt(QTime(10, 0), -1));
    EXPECT_FALSE(replyAt(QTime(10, 0), 5000));
}

TEST_F(SmsAlertsTest, TemplateExampleAndTitle)
{
    init();
    EXPECT_TRUE(replyAt(QTime(10, 0), 250));
    EXPECT_EQ(lastText(), QStringLiteral("Tavrik ping statistics. h1:\r\nPing time - 250"));
    alerts.setApplicationTitle(QStringLiteral("Office"));
    EXPECT_TRUE(replyAt(QTime(10, 0), 250));
    EXPECT_EQ(lastText(), QStringLiteral("Office ping statistics. h1:\r\nPing time - 250"));
}

TEST_F(SmsAlertsTest, PeriodsBlockFromTheirMarkOnly)
{
    const QDate day2 = Day1.addDays(1);
    struct Case {
        const char* period;
        const char* last;
        QDateTime now;
        bool sends;
    } cases[] = {
        {"1", "10/03/2026 10:05:00", QDateTime(Day1, QTime(10, 50)), false}, // Hour
        {"1", "10/03/2026 10:05:00", QDateTime(Day1, QTime(11, 0)), true},
        {"1", "10/03/2026 10:00:40", QDateTime(Day1, QTime(10, 30)), true},  // same minute as the mark
        {"0", "10/03/2026 10:35:00", QDateTime(Day1, QTime(10, 50)), false}, // Half hour
        {"0", "10/03/2026 10:30:50", QDateTime(Day1, QTime(10, 45)), true},
        {"0", "10/03/2026 10:40:00", QDateTime(Day1, QTime(10, 20)), true}, // mark ahead (clock set back)
        {"0", "10/03/2026 10:35:00", QDateTime(Day1, QTime(11, 31)), true},
        {"2", "10/03/2026 13:10:00", QDateTime(Day1, QTime(15, 0)), false}, // Half day
        {"2", "10/03/2026 12:40:00", QDateTime(Day1, QTime(15, 0)), true},  // same hour as the mark
        {"2", "10/03/2026 13:00:00", QDateTime(Day1, QTime(9, 0)), true},   // the morning
        {"2", "10/03/2026 13:10:00", QDateTime(day2, QTime(13, 30)), true},
        {"3", "10/03/2026 08:00:00", QDateTime(Day1, QTime(23, 59, 59)), false}, // Day
        {"3", "10/03/2026 23:59:59", QDateTime(day2, QTime(0, 0)), true},
        {"3", "yesterday", QDateTime(Day1, QTime(12, 0)), true},           // unreadable means never
        {"5", "10/03/2026 12:00:00", QDateTime(Day1, QTime(12, 0)), true}, // Appear value!
        {"9", "10/03/2026 12:00:00", QDateTime(Day1, QTime(12, 0)), true},
    };
    for (const Case& c : cases) {
        set(Keys::OnceTime, c.period);
        set(Keys::LastTime, c.last);
        init();
        EXPECT_EQ(replyAt(c.now), c.sends)
            << c.period << " last " << c.last << " now " << c.now.toString().toStdString();
    }
}

TEST_F(SmsAlertsTest, StartPingingAllowsOneMessagePerRun)
{
    set(Keys::OnceTime, "4");
    set(Keys::LastTime, "10/03/2026 09:59:00");
    init();
    alerts.setStartTime(QDateTime(Day1, QTime(10, 0, 0, 700)));
    EXPECT_TRUE(replyAt(QTime(10, 10)));
    EXPECT_FALSE(replyAt(QTime(10, 30)));
    alerts.setStartTime(QDateTime(Day1, QTime(11, 0)));
    EXPECT_TRUE(replyAt(QTime(11, 5)));

    SmsAlerts unset(settings, clock); // without a start time the stored load time counts
    useFakes(unset);
    set(Keys::StartTime, "10/03/2026 11:00:00");
    ASSERT_FALSE(unset.InitSMS());
    clock.setNow(QDateTime(Day1, QTime(11, 30)));
    unset.CheckSMS(QStringLiteral("h1"), 500, true);
    EXPECT_EQ(log->calls.size(), 2);
    set(Keys::StartTime, "10/03/2026 11:10:00");
    unset.CheckSMS(QStringLiteral("h1"), 500, true);
    EXPECT_EQ(log->calls.size(), 3);
}

TEST_F(SmsAlertsTest, RealGatewayPostsTheFieldsAndOnlySuccessCounts)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    settings.setText(Keys::GatewayURL, server.url(QStringLiteral("/sms")).toString());
    SmsAlerts real(settings, clock);
    ASSERT_FALSE(real.InitSMS());
    QSignalSpy failed(&real, &SmsAlerts::sendFailed);
    real.CheckSMS(QStringLiteral("h1"), 250, true);
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].body, "ICQUIN=123456&ICQPass=pw&CountryCode=7&Carrier=MTS&MobileNumber=9161234567"
                                         "&Message=Tavrik%20ping%20statistics.%20h1%3A%0D%0APing%20time%20-%20250");
    EXPECT_EQ(settings.text(Keys::LastTime), QStringLiteral("10/03/2026 10:00:00"));
    EXPECT_EQ(failed.size(), 0);

    server.setAnswer({500, "Internal Server Error", {}, {}, 0, false});
    clock.advanceMs(60000);
    real.timSent().stop();
    real.CheckSMS(QStringLiteral("h1"), 250, true);
    EXPECT_EQ(server.requests().size(), 2);
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0][0].toString().contains(QStringLiteral("HTTP 500")));

    settings.setText(Keys::GatewayURL, QStringLiteral("http://127.0.0.1:%1/").arg(LocalHttpServer::closedPort()));
    ASSERT_FALSE(real.InitSMS());
    real.timSent().stop();
    real.CheckSMS(QStringLiteral("h1"), 250, true);
    ASSERT_EQ(failed.size(), 2);
    EXPECT_TRUE(failed[1][0].toString().contains(QStringLiteral("could not be reached")));
    EXPECT_EQ(settings.text(Keys::LastTime), QStringLiteral("10/03/2026 10:00:00"));
}

TEST_F(SmsAlertsTest, FailuresAndChangesDuringTheWaitAreSurvived)
{
    init();
    QSignalSpy failed(&alerts, &SmsAlerts::sendFailed);
    log->succeed = false;
    EXPECT_TRUE(replyAt(QTime(10, 0)));
    ASSERT_EQ(failed.size(), 1);
    EXPECT_EQ(failed[0][0].toString(), QStringLiteral("gateway says no"));
    EXPECT_EQ(settings.text(Keys::LastTime), QString());

    log->succeed = true;
    log->duringSend = [] { throw std::runtime_error("modem on fire"); };
    EXPECT_TRUE(replyAt(QTime(10, 1)));
    ASSERT_EQ(failed.size(), 2);
    EXPECT_EQ(failed[1][0].toString(), QStringLiteral("modem on fire"));
    EXPECT_FALSE(alerts.isSending());

    // The options dialog saves and re-initialises while the gateway waits: the send under way finishes.
    log->duringSend = [&] {
        set(Keys::ICQPass, "new");
        init();
    };
    EXPECT_TRUE(replyAt(QTime(10, 2)));
    EXPECT_EQ(log->urls.size(), 2);
    EXPECT_EQ(alerts.config().password, QStringLiteral("new"));
    EXPECT_EQ(settings.text(Keys::LastTime), QStringLiteral("10/03/2026 10:02:00"));

    // The window closes while the gateway waits.
    auto* doomed = new SmsAlerts(settings, clock);
    useFakes(*doomed);
    ASSERT_FALSE(doomed->InitSMS());
    log->duringSend = [&] { delete doomed; };
    doomed->CheckSMS(QStringLiteral("h1"), 500, true);
    EXPECT_EQ(log->calls.size(), 4);
}
