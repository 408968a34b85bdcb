#include "platform/SmsGateway.h"

#include "LocalHttpServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct Sent {
    bool ok = false;
    QString error;
    qint64 elapsedMs = 0;
};

Sent sendTo(const QUrl& url, const QString& text = QStringLiteral("h1:\r\nPing time - 250"), int timeoutSeconds = 5)
{
    HttpSmsGateway gateway(url);
    gateway.setTimeoutSeconds(timeoutSeconds);
    QElapsedTimer clock;
    clock.start();
    Sent sent;
    sent.ok = gateway.send(QStringLiteral("123456"), QStringLiteral("p@ss w+rd&x=1"), QStringLiteral("7"),
                           QStringLiteral("MTS"), QStringLiteral("9161234567"), text, &sent.error);
    sent.elapsedMs = clock.elapsed();
    return sent;
}

} // namespace

TEST(SmsGateway, PostsTheSixArgumentsAsOneFormInOrder)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    const QString text = QStringLiteral("h1:\r\nPing time - 250 ms, Zeit \u00fcber 100%");
    const Sent sent = sendTo(server.url(QStringLiteral("/sms/send")), text);
    EXPECT_TRUE(sent.ok) << sent.error.toStdString();
    EXPECT_TRUE(sent.error.isEmpty());

    ASSERT_EQ(server.requests().size(), 1);
    const LocalHttpServer::Request& request = server.requests().constFirst();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/sms/send");
    EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_TRUE(request.body.contains("Message=h1%3A%0D%0APing%20time")) << request.body.toStdString();

    const QList<QByteArray> pairs = request.body.split('&');
    ASSERT_EQ(pairs.size(), 6) << request.body.toStdString();
    const QStringList names{"ICQUIN", "ICQPass", "CountryCode", "Carrier", "MobileNumber", "Message"};
    const QStringList values{"123456", "p@ss w+rd&x=1", "7", "MTS", "9161234567", text};
    for (int i = 0; i < 6; ++i) {
        const qsizetype eq = pairs[i].indexOf('=');
        EXPECT_EQ(QString::fromLatin1(pairs[i].left(eq)), names[i]);
        EXPECT_EQ(QString::fromUtf8(QByteArray::fromPercentEncoding(pairs[i].mid(eq + 1))), values[i]);
    }
}

TEST(SmsGateway, RefusalsAndBadAddressesFailWithAClearText)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.setAnswer({500, "Internal Server Error", "account blocked\r\n", {}, 0, false});
    Sent sent = sendTo(server.url());
    EXPECT_FALSE(sent.ok);
    EXPECT_EQ(sent.error, QStringLiteral("The SMS gateway answered HTTP 500 Internal Server Error: account blocked"));

    // A redirect is not followed: the message was not taken where it was posted.
    server.setAnswer({302, "Found", {}, {{"Location", server.url(QStringLiteral("/other")).toEncoded()}}, 0, false});
    sent = sendTo(server.url());
    EXPECT_FALSE(sent.ok);
    EXPECT_TRUE(sent.error.contains(QStringLiteral("HTTP 302"))) << sent.error.toStdString();
    EXPECT_EQ(server.requests().size(), 2);

    const quint16 closed = LocalHttpServer::closedPort();
    ASSERT_NE(closed, 0);
    sent = sendTo(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(closed)));
    EXPECT_FALSE(sent.ok);
    EXPECT_TRUE(sent.error.contains(QStringLiteral("could not be reached"))) << sent.error.toStdString();
    EXPECT_TRUE(sent.error.contains(QStringLiteral("refused"), Qt::CaseInsensitive)) << sent.error.toStdString();

    for (const QString& bad : {QString(), QStringLiteral("http://"), QStringLiteral("ftp://127.0.0.1/")}) {
        sent = sendTo(QUrl(bad));
        EXPECT_FALSE(sent.ok) << bad.toStdString();
        EXPECT_TRUE(sent.error.contains(QStringLiteral("address"))) << sent.error.toStdString();
    }
    EXPECT_EQ(server.requests().size(), 2);
}

TEST(SmsGateway, SilentGatewayTimesOutWhileEventsKeepRunning)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.setAnswer({200, "OK", {}, {}, 0, true});
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    const Sent sent = sendTo(server.url(), QStringLiteral("x"), 1);
    EXPECT_FALSE(sent.ok);
    EXPECT_EQ(sent.error, QStringLiteral("The SMS gateway 127.0.0.1 did not answer within 1 s"));
    EXPECT_GE(sent.elapsedMs, 950);
    EXPECT_LT(sent.elapsedMs, 4000);
    EXPECT_GE(ticks, 20) << "the thread's timers must keep running during the wait";

    // A slow answer within the time-out still counts.
    server.setAnswer({200, "OK", "queued", {}, 300, false});
    const Sent slow = sendTo(server.url(), QStringLiteral("x"), 2);
    EXPECT_TRUE(slow.ok) << slow.error.toStdString();
    EXPECT_GE(slow.elapsedMs, 290);
}

TEST(SmsGateway, HugeOrNonUtf8AnswersDoNotMatter)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    const QByteArray huge(64 * 1024 * 1024, 'a');
    server.setAnswer({200, "OK", huge, {}, 0, false});
    Sent sent = sendTo(server.url());
    EXPECT_TRUE(sent.ok) << sent.error.toStdString();

    server.setAnswer({503, "Busy", QByteArray("\xff\xfe\xc3(\x00\x01zz", 8) + huge, {}, 0, false});
    sent = sendTo(server.url());
    EXPECT_FALSE(sent.ok);
    EXPECT_TRUE(sent.error.startsWith(QStringLiteral("The SMS gateway answered HTTP 503 Busy: "))) << sent.error.size();
    EXPECT_LT(sent.error.size(), 200);
    EXPECT_FALSE(sent.error.contains(QChar(0)));
    EXPECT_LT(sent.elapsedMs, 4000);
}

TEST(SmsGateway, QuittingTheApplicationEndsTheWait)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.setAnswer({200, "OK", {}, {}, 0, true});
    Sent sent;
    // The send runs inside the application's own loop, as in the program, so quitting resets cleanly afterwards.
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(200, qApp, &QCoreApplication::quit);
        sent = sendTo(server.url(), QStringLiteral("x"), 20);
    });
    QCoreApplication::exec();
    EXPECT_FALSE(sent.ok);
    EXPECT_TRUE(sent.error.contains(QStringLiteral("quitting"))) << sent.error.toStdString();
    EXPECT_LT(sent.elapsedMs, 5000);
}
