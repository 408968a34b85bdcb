#include "whois/ui/f_WhoIs.h"

#include "LineServer.h"
#include "TestEnvironment.h"
#include "trace/CountryTable.h"
#include "trace/ui/HopTable.h"

#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The console with every whois service on a line server of the test, a hop grid with one filled row, and a
// country table of the test's own.
class WhoisConsoleTest : public ProgramFolderTest {
protected:
    WhoisConsoleTest()
    {
        writeFileOrFail(env.programFolder() + QStringLiteral("/country.txt"),
                        "NL;Netherlands\r\nDE;Germany\r\nRU;Russian Federation\r\n");
        programCountryTable().clear();
        grid.setText(1, HopGrid::HostName, QStringLiteral("gw.example.de"));
        grid.setText(1, HopGrid::Address, QStringLiteral("10.20.30.40"));
        grid.setText(1, HopGrid::Country, QStringLiteral("Germany"));
    }
    ~WhoisConsoleTest() override { programCountryTable().clear(); }

    void lookUp(quint16 port, int column)
    {
        console.setServers(WhoisServers::allAt(QStringLiteral("127.0.0.1")), port);
        console.View(grid, 1, column, QPoint(40, 30));
    }
    int pixels(int twips) const { return int(twips * console.logicalDpiY() / 1440.0 + 0.5); }

    HopTable grid;
    f_WhoIs console;
    QList<QByteArray> requests;
};

LineServer::Script answer(QList<QByteArray>& requests, QByteArray text)
{
    return [&requests, text](LineServer::Connection& c, int) {
        requests.append(c.readLine());
        c.send(text);
    };
}

} // namespace

TEST_F(WhoisConsoleTest, AddressAsksForItsNetworkAndTheAnswerFillsTheRow)
{
    LineServer server(answer(requests, "% comment\nnetname:  LAB-NET\ncountry:   nl\n"));
    lookUp(server.port(), HopGrid::Address);
    EXPECT_TRUE(console.isVisible());
    EXPECT_EQ(console.windowTitle(), QStringLiteral("WhoIs Console"));
    EXPECT_TRUE(console.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid.text(1, HopGrid::Network) == u"LAB-NET"; }, 5000));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0], QByteArray("-r 10.20.30.0\r\n"));
    EXPECT_EQ(grid.text(1, HopGrid::Country), QStringLiteral("Netherlands"));
    EXPECT_TRUE(console.text().contains(QStringLiteral("netname:  LAB-NET")));
    EXPECT_FALSE(console.text().contains(QStringLiteral("% comment")));
    EXPECT_EQ(console.height(), pixels(f_WhoIs::AnswerHeightTwips));
}

TEST_F(WhoisConsoleTest, HostNameAsksForItsDomainAndTwoCountriesEmptyTheCountryCell)
{
    LineServer server(answer(requests, "domain: example.de\ncountry: NL\ncountry: DE\n"));
    console.resize(console.width(), 50);
    lookUp(server.port(), HopGrid::HostName);
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid.text(1, HopGrid::Country).isEmpty(); }, 5000));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0], QByteArray("example.de\r\n"));
    EXPECT_TRUE(grid.text(1, HopGrid::Network).isEmpty()) << "no netname line: the cell stays as it was";
    EXPECT_EQ(console.height(), pixels(f_WhoIs::AnswerHeightTwips));
}

TEST_F(WhoisConsoleTest, ErrorIsShownInAShortWindow)
{
    RefusingPort refusing;
    lookUp(refusing.port(), HopGrid::HostName);
    EXPECT_TRUE(console.text().startsWith(QStringLiteral("Error:\n")) ||
                console.text().startsWith(QStringLiteral("Error:\r\n")))
        << console.text().toStdString();
    EXPECT_TRUE(console.text().contains(QStringLiteral("Cannot connect to Server: 127.0.0.1")));
    EXPECT_EQ(console.height(), pixels(f_WhoIs::ErrorHeightTwips));
    EXPECT_EQ(grid.text(1, HopGrid::Country), QStringLiteral("Germany"));
    EXPECT_FALSE(console.findChild<QTimer*>(QStringLiteral("TMR"))->isActive());
}
