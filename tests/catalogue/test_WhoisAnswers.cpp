#include "whois/cWhoIs.h"

#include "LineServer.h"
#include "TestEnvironment.h"
#include "trace/CountryTable.h"
#include "trace/ui/HopTable.h"
#include "whois/ui/f_WhoIs.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const QString Loopback = QStringLiteral("127.0.0.1");

class WhoisAnswersTest : public ::testing::Test {
protected:
    std::unique_ptr<cWhoIs> makeClient(quint16 port)
    {
        auto client = std::make_unique<cWhoIs>(&timer, WhoisServers::allAt(Loopback));
        client->setPortForListen(port);
        client->setHostName(QStringLiteral("example.nl"));
        return client;
    }
    bool waitForAnswerEnd(const cWhoIs& client, int timeoutMs = 8000)
    {
        return QTest::qWaitFor([&] { return !client.isReceiving(); }, timeoutMs);
    }

    QTimer timer;
};

} // namespace

TEST_F(WhoisAnswersTest, BinaryAnswerEndsAndKeepsTheFieldsOfItsReadableLines)
{
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary += char(i % 256);
    LineServer server([&](LineServer::Connection& c, int) {
        c.readLine();
        c.send(binary + "\nnetname: BINARY-NET\n" + QByteArray(100, '\0') + "\ncountry: NL\n" + binary);
    });
    const auto client = makeClient(server.port());
    QSignalSpy errors(client.get(), &cWhoIs::OnError);
    ASSERT_TRUE(client->ConnectToServer(QString()));
    ASSERT_TRUE(waitForAnswerEnd(*client));
    EXPECT_EQ(client->NetworkName(), QStringLiteral("BINARY-NET"));
    EXPECT_EQ(client->Country(), QStringLiteral("NL"));
    EXPECT_FALSE(client->ReturnMessage().isEmpty());
    EXPECT_EQ(errors.size(), 0);
    EXPECT_FALSE(timer.isActive());
}

TEST_F(WhoisAnswersTest, AnswerThatNeverEndsIsClosedByTheClientAfterItsTimeout)
{
    bool closedByClient = false;
    LineServer server([&](LineServer::Connection& c, int) {
        c.readLine();
        c.send("netname: NEVER-ENDS\ncountry: DE\nremarks: and then silence");
        closedByClient = c.waitForClientClose(15000);
    });
    const auto client = makeClient(server.port());
    client->setTimeout(1);
    QSignalSpy errors(client.get(), &cWhoIs::OnError);
    QElapsedTimer elapsed;
    elapsed.start();
    ASSERT_TRUE(client->ConnectToServer(QString()));
    ASSERT_TRUE(waitForAnswerEnd(*client)) << "the client must end an answer the server never ends";
    EXPECT_GE(elapsed.elapsed(), 900);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.finished(); }, 5000));
    EXPECT_TRUE(closedByClient);
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(client->NetworkName(), QStringLiteral("NEVER-ENDS"));
    EXPECT_EQ(client->Country(), QStringLiteral("DE"));
    EXPECT_TRUE(client->ReturnMessage().endsWith(QStringLiteral("and then silence\r\n") + cWhoIs::SilentLine.arg(1) +
                                                 QStringLiteral("\r\n")))
        << client->ReturnMessage().toStdString();
    EXPECT_EQ(errors.size(), 0) << "what arrived is the answer, marked as ended by the client";
}

TEST_F(WhoisAnswersTest, ServersThatSayNothingAreReportedAsGivingNoAnswer)
{
    // Silent with the connection open, closed at once before reading, and reset at once.
    const std::function<void(LineServer::Connection&)> behaviours[] = {
        [](LineServer::Connection& c) {
            c.readLine();
            c.waitForClientClose(15000);
        },
        [](LineServer::Connection&) {},
        [](LineServer::Connection& c) { c.resetNow(); },
    };
    for (int i = 0; i < 3; ++i) {
        LineServer server([&](LineServer::Connection& c, int) { behaviours[i](c); });
        const auto client = makeClient(server.port());
        client->setTimeout(1);
        QSignalSpy errors(client.get(), &cWhoIs::OnError);
        client->ConnectToServer(QString());
        ASSERT_TRUE(waitForAnswerEnd(*client)) << i;
        ASSERT_TRUE(QTest::qWaitFor([&] { return errors.size() > 0; }, 3000)) << i;
        EXPECT_EQ(errors.size(), 1) << i;
        const QString error = errors[0][0].toString();
        // A reset can meet the client while it still connects, while it sends, or while it waits for the answer.
        EXPECT_TRUE(error == QStringLiteral("No answer from Server: 127.0.0.1") ||
                    error == QStringLiteral("Cannot send the request to Server: 127.0.0.1") ||
                    error == QStringLiteral("Cannot connect to Server: 127.0.0.1"))
            << i << ' ' << error.toStdString();
        EXPECT_FALSE(timer.isActive()) << i;
    }
}

TEST_F(WhoisAnswersTest, ConsoleShowsAnErrorWhenTheServerClosesAtOnce)
{
    ScopedProgramEnvironment env;
    programCountryTable().clear();
    HopTable grid;
    grid.setText(1, HopGrid::HostName, QStringLiteral("gw.example.de"));
    grid.setText(1, HopGrid::Address, QStringLiteral("10.20.30.40"));
    f_WhoIs console;
    LineServer server([](LineServer::Connection& c, int) {
        c.readLine();
        // Closed without a byte of answer.
    });
    console.setServers(WhoisServers::allAt(Loopback), server.port());
    console.View(grid, 1, HopGrid::HostName, QPoint(40, 30));
    ASSERT_TRUE(QTest::qWaitFor([&] { return console.text() != QStringLiteral("Loading ..."); }, 5000))
        << "the console must not wait for an answer that will never come";
    EXPECT_TRUE(console.text().startsWith(QStringLiteral("Error:"))) << console.text().toStdString();
    EXPECT_TRUE(console.text().contains(QStringLiteral("No answer from Server: 127.0.0.1")));
    EXPECT_FALSE(console.findChild<QTimer*>(QStringLiteral("TMR"))->isActive());
    console.close();
    programCountryTable().clear();
}
