#include "whois/cWhoIs.h"

#include "LineServer.h"
#include "tests/net/OfflineNames.h"
#include "tests/net/TestPrinters.h"

#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const WhoisServers LocalServers{QStringLiteral("ru.whois.test"), QStringLiteral("registrar.whois.test"),
                                QStringLiteral("ripe.whois.test"), QStringLiteral("de.whois.test")};

const QByteArray DatabaseAnswer = "% This is the RIPE Database query service.\n"
                                  "%\n"
                                  "\n"
                                  "inetnum:        10.20.30.0 - 10.20.30.255\n"
                                  "netname:        EXAMPLE-NET\n"
                                  "descr:          Example Network\n"
                                  "country:        NL\n"
                                  "org:            ORG-EX1-RIPE\n"
                                  "\n"
                                  "person:         John Doe\n"
                                  "address:        Damrak 1\n"
                                  "address:        Amsterdam\n";

const QByteArray RegistrarAnswer = "Read our privacy policy. By asking you agree to abide by these terms.\n\n"
                                   "Registrant:\n"
                                   "   Example Holdings LLC\n"
                                   "   100 Main Street\n"
                                   "   US\n"
                                   "\n";

// Every signal of the client as "Signal=text", in the order raised.
QStringList* recordSignals(cWhoIs& client)
{
    auto* log = new QStringList;
    QObject::connect(&client, &QObject::destroyed, [log] { delete log; });
    const auto record = [&client, log](const char* name, void (cWhoIs::*signal)(const QString&)) {
        QObject::connect(&client, signal,
                         [log, name](const QString& text) { log->append(QLatin1String(name) + u'=' + text); });
    };
    record("ReturnMSG", &cWhoIs::ReturnMSG);
    record("ServerIPChanged", &cWhoIs::ServerIPChanged);
    record("HostIPChanged", &cWhoIs::HostIPChanged);
    record("HostDescription", &cWhoIs::HostDescription);
    record("HostOrganization", &cWhoIs::HostOrganization);
    record("HostAddress", &cWhoIs::HostAddress);
    record("OnError", &cWhoIs::OnError);
    record("HostNetworkName", &cWhoIs::HostNetworkName);
    record("HostCountry", &cWhoIs::HostCountry);
    return log;
}

QStringList named(const QStringList& log, const QString& signal)
{
    QStringList texts;
    for (const QString& entry : log) {
        if (entry.startsWith(signal + u'='))
            texts.append(entry.mid(signal.size() + 1));
    }
    return texts;
}

// Answers one request per connection with `answer` and closes; keeps each request line.
LineServer::Script answering(QList<QByteArray>& requests, QByteArray answer)
{
    return [&requests, answer](LineServer::Connection& c, int) {
        requests.append(c.readLine());
        c.send(answer);
    };
}

class WhoisClient : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        for (const QString& service :
             {LocalServers.ruRegistry, LocalServers.registrar, LocalServers.ripe, LocalServers.deRegistry})
            OfflineNames::add(service, QStringLiteral("127.0.0.1"));
        OfflineNames::add(QStringLiteral("host.example.com"), QStringLiteral("192.0.2.10"));
    }

    std::unique_ptr<cWhoIs> makeClient(quint16 port = 0, const WhoisServers& servers = LocalServers)
    {
        auto client = std::make_unique<cWhoIs>(&timer, servers);
        if (port)
            client->setPortForListen(port);
        return client;
    }

    bool waitForAnswerEnd(const cWhoIs& client, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return !client.isReceiving(); }, timeoutMs);
    }

    QTimer timer; // the console's poll timer, lent to every client
};

using WhoisZones = WhoisClient;
using WhoisQuery = WhoisClient;
using WhoisFailures = WhoisClient;
using WhoisLifetime = WhoisClient;

} // namespace

TEST_F(WhoisZones, CreationResolvesTheDefaultServerAndSetsTheDefaults)
{
    const auto client = makeClient();
    EXPECT_EQ(client->DomainName(), LocalServers.ruRegistry);
    EXPECT_EQ(client->ServerIPAddress(), u"127.0.0.1");
    EXPECT_EQ(client->PortForListen(), 43);
    EXPECT_EQ(client->Timeout(), 10);
    EXPECT_EQ(client->Zone(), 0);
    EXPECT_EQ(client->dataTimer(), &timer);
    EXPECT_EQ(timer.interval(), 10);
    EXPECT_FALSE(timer.isActive());
}

TEST_F(WhoisZones, TopLevelDomainChoosesServerAndZone)
{
    const auto client = makeClient();
    const struct {
        const char* host;
        QString server;
        int zone;
    } cases[] = {{"example.nl", LocalServers.ripe, 5},        {"WWW.EXAMPLE.Nl", LocalServers.ripe, 5},
                 {"example.lv", LocalServers.ripe, 5},        {"example.de", LocalServers.deRegistry, 6},
                 {"example.info", LocalServers.registrar, 1}, {"example.ru", LocalServers.ruRegistry, 0},
                 {"example.org", LocalServers.registrar, 1},  {"example.su", LocalServers.ruRegistry, 0},
                 {"example.net", LocalServers.registrar, 1},  {"a.b.example.com", LocalServers.registrar, 1}};
    for (const auto& c : cases) {
        client->setHostName(QString::fromLatin1(c.host));
        EXPECT_EQ(client->DomainName(), c.server) << c.host;
        EXPECT_EQ(client->Zone(), c.zone) << c.host;
        EXPECT_EQ(client->ServerIPAddress(), u"127.0.0.1") << c.host;
    }
}

TEST_F(WhoisZones, DottedAddressOrNameWithoutDotKeepsServerAddressAndZone)
{
    const auto client = makeClient();
    client->setHostName(QStringLiteral("example.de"));
    client->setServerIPAddress(QStringLiteral("192.0.2.99"));
    QStringList* log = recordSignals(*client);
    client->setHostName(QStringLiteral("192.0.2.7"));
    EXPECT_TRUE(client->DomainName().isEmpty());
    EXPECT_EQ(client->ServerIPAddress(), u"192.0.2.99");
    EXPECT_EQ(client->Zone(), 6);
    client->setHostName(QStringLiteral("localhost"));
    EXPECT_EQ(client->ServerIPAddress(), u"192.0.2.99");
    EXPECT_EQ(client->Zone(), 6);
    EXPECT_EQ(*log, (QStringList{u"HostIPChanged=192.0.2.7"_s, u"HostIPChanged=No IP"_s}));
}

TEST_F(WhoisZones, HostIPChangedCarriesTheHostsAddressAndHostNameStaysAsSet)
{
    const auto client = makeClient();
    QStringList* log = recordSignals(*client);
    client->setHostName(QStringLiteral("host.example.com"));
    client->setHostName(QStringLiteral("missing.example.com"));
    client->setHostName(QString()); // an empty name is stored and nothing else
    EXPECT_EQ(named(*log, u"HostIPChanged"_s), (QStringList{u"192.0.2.10"_s, u"No IP"_s}));
    EXPECT_EQ(named(*log, u"ServerIPChanged"_s), (QStringList{u"127.0.0.1"_s, u"127.0.0.1"_s}));
    EXPECT_TRUE(client->HostName().isEmpty());
    client->setHostName(QStringLiteral("host.example.com"));
    EXPECT_EQ(client->HostName(), u"host.example.com"); // no NUL padding from the lookup
}

TEST_F(WhoisQuery, DatabaseAnswerIsReceivedCleanedAndParsed)
{
    QList<QByteArray> requests;
    LineServer server(answering(requests, DatabaseAnswer));
    const auto client = makeClient(server.port());
    client->setHostName(QStringLiteral("example.nl"));
    ASSERT_TRUE(client->ConnectToServer(QString()));
    EXPECT_TRUE(timer.isActive());
    ASSERT_TRUE(waitForAnswerEnd(*client));

    EXPECT_EQ(requests, QList<QByteArray>{"example.nl\r\n"});
    EXPECT_EQ(client->Country(), u"NL");
    EXPECT_EQ(client->NetworkName(), u"EXAMPLE-NET");
    EXPECT_EQ(client->Organization(), u"ORG-EX1-RIPE");
    EXPECT_EQ(client->Description(), u"Example Network");
    EXPECT_EQ(client->Address(), u"Damrak 1\r\nAmsterdam");
    EXPECT_TRUE(client->ReturnMessage().startsWith(u"inetnum:        10.20.30.0 - 10.20.30.255\r\n"));
    EXPECT_FALSE(client->ReturnMessage().contains(u'%'));
    // The answer ended: the connection is closed and the lent timer stopped, not taken away.
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(client->dataTimer(), &timer);
}

TEST_F(WhoisQuery, SignalsFollowTheParsingOrderAndReturnMSGComesLast)
{
    const auto client = makeClient();
    client->setHostName(QStringLiteral("example.com"));
    QStringList* log = recordSignals(*client);
    client->setReturnMessage(QString::fromLatin1(RegistrarAnswer));
    EXPECT_EQ(*log, (QStringList{u"HostCountry="_s, u"HostNetworkName="_s, u"HostAddress=100 Main Street\r\nUS"_s,
                                 u"HostOrganization=Example Holdings LLC"_s, u"HostCountry=US"_s,
                                 u"HostDescription=Example Holdings LLC"_s,
                                 u"ReturnMSG=\r\n\r\nRegistrant:\r\n   Example Holdings LLC\r\n   100 Main Street\r\n"
                                 "   US\r\n\r\n"_s}));
    log->clear();
    client->setReturnMessage(QString());
    EXPECT_EQ(*log, QStringList{u"ReturnMSG="_s});
}

TEST_F(WhoisQuery, RegistrarAnswerLosesThePolicyTextsAndGivesTheRegistrant)
{
    QList<QByteArray> requests;
    LineServer server(answering(requests, RegistrarAnswer));
    const auto client = makeClient(server.port());
    client->setHostName(QStringLiteral("example.com"));
    ASSERT_TRUE(client->ConnectToServer(QString()));
    ASSERT_TRUE(waitForAnswerEnd(*client));
    EXPECT_EQ(requests, QList<QByteArray>{"example.com\r\n"});
    EXPECT_TRUE(client->ReturnMessage().startsWith(u"\r\n\r\nRegistrant:"));
    EXPECT_EQ(client->Organization(), u"Example Holdings LLC");
    EXPECT_EQ(client->Country(), u"US");
    EXPECT_EQ(client->Address(), u"100 Main Street\r\nUS");
}

TEST_F(WhoisQuery, ChunksJoinAsReceivedSoALineSplitBetweenTwoStaysWhole)
{
    LineServer server([](LineServer::Connection& c, int) {
        c.readLine();
        c.send("netname: EX\ncoun");
        if (c.waitForGate())
            c.send("try:   NL\n");
    });
    const auto client = makeClient(server.port());
    client->setHostName(QStringLiteral("example.nl"));
    QStringList* log = recordSignals(*client);
    ASSERT_TRUE(client->ConnectToServer(QString()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !client->ReturnMessage().isEmpty(); }, 5000));
    EXPECT_EQ(client->ReturnMessage(), u"netname: EX\r\ncoun\r\n");
    EXPECT_TRUE(client->Country().isEmpty());
    server.openGate();
    ASSERT_TRUE(waitForAnswerEnd(*client));
    EXPECT_EQ(client->ReturnMessage(), u"netname: EX\r\ncountry:   NL\r\n");
    EXPECT_EQ(client->Country(), u"NL");
    // One ReturnMSG when the query starts, then one per chunk with all the text so far.
    EXPECT_EQ(named(*log, u"ReturnMSG"_s),
              (QStringList{QString(), u"netname: EX\r\ncoun\r\n"_s, u"netname: EX\r\ncountry:   NL\r\n"_s}));
}

TEST_F(WhoisQuery, DottedHostAsksForItsNetworkAtTheServerItKept)
{
    QList<QByteArray> requests;
    LineServer server(answering(requests, "inetnum: 192.0.2.0 - 192.0.2.255\n"));
    const auto client = makeClient(server.port());
    client->setHostName(QStringLiteral("example.de"));
    client->setHostName(QStringLiteral("192.0.2.7"));
    ASSERT_TRUE(client->ConnectToServer(QString()));
    ASSERT_TRUE(waitForAnswerEnd(*client));
    EXPECT_EQ(requests, QList<QByteArray>{"-L 192.0.2.7\r\n"});
    EXPECT_EQ(client->Zone(), 6);
    EXPECT_EQ(client->ReturnMessage(), u"inetnum: 192.0.2.0 - 192.0.2.255\r\n");
}

TEST_F(WhoisQuery, NetworkQueryMovesToTheRipeDatabaseOnlyFromZones0And4And5)
{
    const struct {
        const char* host;
        int zone;
        QString server;
    } cases[] = {{"example.ru", -1, LocalServers.ripe},
                 {"192.0.2.7", 4, LocalServers.ripe},
                 {"example.nl", -1, LocalServers.ripe},
                 {"example.de", -1, LocalServers.deRegistry},
                 {"example.com", -1, LocalServers.registrar}};
    for (const auto& c : cases) {
        QList<QByteArray> requests;
        LineServer server(answering(requests, "x\n"));
        const auto client = makeClient(server.port());
        client->setHostName(QString::fromLatin1(c.host));
        if (c.zone >= 0)
            client->setZone(c.zone);
        const bool moves = c.server == LocalServers.ripe;
        ASSERT_TRUE(client->ConnectToServer(QStringLiteral("-r 10.20.30.0"))) << c.host;
        ASSERT_TRUE(waitForAnswerEnd(*client)) << c.host;
        EXPECT_EQ(requests, QList<QByteArray>{"-r 10.20.30.0\r\n"}) << c.host;
        EXPECT_EQ(client->DomainName(), c.server) << c.host;
        EXPECT_EQ(client->HostName(), moves ? u"-r 10.20.30.0"_s : QString::fromLatin1(c.host)) << c.host;
    }
}

TEST_F(WhoisQuery, FloodIsCutAtOneMebibyteAndTheConnectionClosed)
{
    qint64 flooded = 0;
    bool closedByClient = false;
    // 63 bytes a line, so the cut falls inside a line.
    const QByteArray oddLine = "remarks: " + QByteArray(53, 'f') + '\n';
    LineServer server([&](LineServer::Connection& c, int) {
        c.readLine();
        flooded = c.flood(5 << 20, oddLine);
        closedByClient = c.waitForClientClose();
    });
    const auto client = makeClient(server.port(), WhoisServers::allAt(QStringLiteral("127.0.0.1")));
    client->setHostName(QStringLiteral("example.nl"));
    ASSERT_TRUE(client->ConnectToServer(QString()));
    ASSERT_TRUE(waitForAnswerEnd(*client, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.finished(); }, 20000));

    EXPECT_TRUE(closedByClient);
    EXPECT_GT(flooded, cWhoIs::MaxAnswerBytes);
    EXPECT_FALSE(timer.isActive());
    const QString text = client->ReturnMessage();
    // Cleaning turned each LF into CR LF; without those CRs the text is what was kept of the bytes received.
    const qsizetype kept = text.size() - text.count(u'\r') - cWhoIs::CutLine.size() - 2; // and two LFs
    EXPECT_EQ(kept, cWhoIs::MaxAnswerBytes);
    EXPECT_TRUE(text.endsWith("\r\n"_L1 + cWhoIs::CutLine + "\r\n"_L1));
    const QStringList lines = text.split("\r\n"_L1);
    ASSERT_GE(lines.size(), 3);
    const QString partial = lines[lines.size() - 3];
    EXPECT_FALSE(partial.isEmpty());
    EXPECT_TRUE(QString::fromLatin1(oddLine).startsWith(partial)) << qPrintable(partial);
    // The cut line is the answer's last word: nothing read later is added.
    QTest::qWait(50);
    EXPECT_EQ(client->ReturnMessage(), text);
}

TEST_F(WhoisFailures, RefusedConnectionIsReportedWithTheServersName)
{
    RefusingPort refusing;
    const auto client = makeClient(refusing.port());
    client->setHostName(QStringLiteral("example.com"));
    QStringList* log = recordSignals(*client);
    EXPECT_FALSE(client->ConnectToServer(QString()));
    EXPECT_EQ(named(*log, u"OnError"_s), QStringList{u"Cannot connect to Server: registrar.whois.test"_s});
    EXPECT_FALSE(client->isReceiving());
    EXPECT_FALSE(timer.isActive());
}

TEST_F(WhoisFailures, ServerNameWithoutAddressCannotBeConnectedAndNoIPIsNotLookedUp)
{
    WhoisServers servers = LocalServers;
    servers.registrar = QStringLiteral("nowhere.whois.test");
    const auto client = makeClient(43, servers);
    client->setHostName(QStringLiteral("example.com"));
    EXPECT_EQ(client->ServerIPAddress(), u"No IP");
    QStringList* log = recordSignals(*client);
    OfflineNames::clearLookups();
    EXPECT_FALSE(client->ConnectToServer(QString()));
    EXPECT_EQ(named(*log, u"OnError"_s), QStringList{u"Cannot connect to Server: nowhere.whois.test"_s});
    EXPECT_FALSE(OfflineNames::lookups().contains(u"No IP"_s));
}

TEST_F(WhoisFailures, EmptyServerAddressAndNothingToAskAreRefused)
{
    const auto client = makeClient();
    QStringList* log = recordSignals(*client);
    EXPECT_FALSE(client->ConnectToServer(QString()));
    EXPECT_EQ(*log, (QStringList{u"ReturnMSG="_s, u"HostAddress="_s})); // no error: there was nothing to ask

    client->setServerIPAddress(QString());
    client->setHostName(QStringLiteral("192.0.2.7"));
    log->clear();
    EXPECT_FALSE(client->ConnectToServer(QString()));
    EXPECT_EQ(named(*log, u"OnError"_s), QStringList{u"Cannot resolve Server IP address"_s});
}

TEST_F(WhoisFailures, RequestThatCannotBeSentWholeIsAnErrorNotASuccess)
{
    // The reset waits for the first bytes of the request, so it meets the send rather than the connect.
    LineServer server([](LineServer::Connection& c, int) {
        if (c.waitForData())
            c.resetNow();
    });
    const auto client = makeClient(server.port());
    client->setHostName(QStringLiteral("example.com"));
    QStringList* log = recordSignals(*client);
    // Far more than the socket buffers hold, so the reset meets the send under way.
    EXPECT_FALSE(client->ConnectToServer(QString(16 << 20, u'q')));
    EXPECT_EQ(named(*log, u"OnError"_s), QStringList{u"Cannot send the request to Server: registrar.whois.test"_s});
    EXPECT_FALSE(client->isReceiving());
    EXPECT_FALSE(timer.isActive());
}

TEST_F(WhoisLifetime, SilentServerGivesNoAnswerAndTheClientCanBeDropped)
{
    bool closedByClient = false;
    LineServer server([&](LineServer::Connection& c, int) {
        c.readLine();
        closedByClient = c.waitForClientClose(10000);
    });
    auto client = makeClient(server.port());
    client->setHostName(QStringLiteral("example.nl"));
    ASSERT_TRUE(client->ConnectToServer(QString()));
    QTest::qWait(100);
    EXPECT_TRUE(client->ReturnMessage().isEmpty());
    EXPECT_TRUE(client->isReceiving());
    EXPECT_TRUE(timer.isActive());
    client.reset();
    EXPECT_FALSE(timer.isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.finished(); }, 5000));
    EXPECT_TRUE(closedByClient);
}

TEST_F(WhoisLifetime, NewQueryClosesThePreviousConnection)
{
    bool firstClosed = false;
    QByteArray secondRequest;
    LineServer server(
        [&](LineServer::Connection& c, int index) {
            if (index == 0) {
                c.readLine();
                firstClosed = c.waitForClientClose(10000);
            } else {
                secondRequest = c.readLine();
                c.send("netname: SECOND\n");
            }
        },
        2);
    const auto client = makeClient(server.port());
    client->setHostName(QStringLiteral("example.nl"));
    ASSERT_TRUE(client->ConnectToServer(QString()));
    ASSERT_TRUE(client->ConnectToServer(QStringLiteral("second.nl")));
    ASSERT_TRUE(waitForAnswerEnd(*client));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.finished(); }, 5000));
    EXPECT_TRUE(firstClosed);
    EXPECT_EQ(secondRequest, "second.nl\r\n");
    EXPECT_EQ(client->NetworkName(), u"SECOND");
}

TEST_F(WhoisLifetime, DroppingOneClientKeepsTheSharedTimerPollingForAnother)
{
    LineServer silent([](LineServer::Connection& c, int) { c.waitForClientClose(10000); });
    LineServer gated([](LineServer::Connection& c, int) {
        c.readLine();
        if (c.waitForGate())
            c.send("country: DE\n");
    });
    auto first = makeClient(silent.port());
    const auto second = makeClient(gated.port());
    first->setHostName(QStringLiteral("example.de"));
    second->setHostName(QStringLiteral("example.de"));
    ASSERT_TRUE(first->ConnectToServer(QString()));
    ASSERT_TRUE(second->ConnectToServer(QString()));
    first.reset();
    EXPECT_TRUE(timer.isActive());
    gated.openGate();
    ASSERT_TRUE(waitForAnswerEnd(*second));
    EXPECT_EQ(second->Country(), u"DE");
    EXPECT_FALSE(timer.isActive());
}

TEST_F(WhoisLifetime, ClientWithoutALentTimerPollsWithItsOwnAndOutlivesALentOne)
{
    QList<QByteArray> requests;
    LineServer server(answering(requests, "netname: OWN\n"));
    cWhoIs client(nullptr, LocalServers);
    ASSERT_NE(client.dataTimer(), nullptr);
    EXPECT_EQ(client.dataTimer()->parent(), &client);
    client.setPortForListen(server.port());
    client.setHostName(QStringLiteral("example.nl"));
    ASSERT_TRUE(client.ConnectToServer(QString()));
    ASSERT_TRUE(waitForAnswerEnd(client));
    EXPECT_EQ(client.NetworkName(), u"OWN");

    // The owner's children may go in any order: a lent timer can die first.
    auto* lent = new QTimer;
    auto borrower = std::make_unique<cWhoIs>(lent, LocalServers);
    delete lent;
    EXPECT_EQ(borrower->dataTimer(), nullptr);
    borrower.reset();
}

TEST_F(WhoisLifetime, ClientDroppedDuringABlockingLookupEndsTheQueryQuietly)
{
    OfflineNames::setDelayMs(QStringLiteral("slow.example.com"), 200);
    auto* client = new cWhoIs(&timer, LocalServers);
    client->setHostName(QStringLiteral("slow.example.com"));
    const QPointer<cWhoIs> watch(client);
    // The lookup waits with events running; the owner drops the client in the middle of it.
    QTimer::singleShot(0, [client] { delete client; });
    EXPECT_FALSE(client->ConnectToServer(QString()));
    EXPECT_TRUE(watch.isNull());
    EXPECT_FALSE(timer.isActive());
}
