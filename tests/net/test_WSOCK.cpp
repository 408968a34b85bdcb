#include "net/WSOCK.h"

#include "LineServer.h"
#include "tests/net/OfflineNames.h"
#include "tests/net/TestPrinters.h"

#include <QTest>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>

namespace {

std::uint32_t dotted(const char* text)
{
    return ::inet_addr(text);
}

class WSOCKNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        OfflineNames::add(QStringLiteral("gateway.test"), QStringLiteral("10.9.8.7"));
        OfflineNames::clearLookups();
    }
};

} // namespace

TEST(WSOCKStart, StartingTwiceKeepsTheLibraryStartedAndStopClearsTheFlag)
{
    WSOCK::StopSockets();
    ASSERT_FALSE(WSOCK::SocketsStarted());
    QString description;
    EXPECT_TRUE(WSOCK::StartSockets(&description));
    EXPECT_FALSE(description.isEmpty());
    EXPECT_TRUE(WSOCK::StartSockets());
    EXPECT_TRUE(WSOCK::SocketsStarted());
    WSOCK::StopSockets();
    EXPECT_FALSE(WSOCK::SocketsStarted());
    EXPECT_TRUE(WSOCK::StartSockets());
}

TEST_F(WSOCKNames, DottedAddressIsTakenAsItStandsWithoutALookup)
{
    EXPECT_EQ(WSOCK::ResolveAddress(QStringLiteral("10.1.2.3")), dotted("10.1.2.3"));
    EXPECT_EQ(WSOCK::AddressToDotted(WSOCK::ResolveAddress(QStringLiteral("192.0.2.200"))), u"192.0.2.200");
    EXPECT_TRUE(OfflineNames::lookups().isEmpty());
}

TEST_F(WSOCKNames, AllOnesAddressIsLookedUpAsANameAndStaysNoAddress)
{
    EXPECT_EQ(WSOCK::ResolveAddress(QStringLiteral("255.255.255.255")), WSOCK::NoAddress);
    EXPECT_EQ(OfflineNames::lookups(), QStringList{QStringLiteral("255.255.255.255")});
}

TEST_F(WSOCKNames, NamesResolveToTheirFirstAddressOrToNoAddress)
{
    EXPECT_EQ(WSOCK::ResolveAddress(QStringLiteral("gateway.test")), dotted("10.9.8.7"));
    EXPECT_EQ(WSOCK::ResolveAddress(QStringLiteral("nowhere.test")), WSOCK::NoAddress);
    EXPECT_EQ(OfflineNames::lookups(), (QStringList{QStringLiteral("gateway.test"), QStringLiteral("nowhere.test")}));
}

TEST_F(WSOCKNames, HostToDottedPadsTheCallersTextTo64Characters)
{
    QString name = QStringLiteral("gateway.test");
    EXPECT_EQ(WSOCK::HostToDotted(name), u"10.9.8.7");
    ASSERT_EQ(name.size(), 64);
    EXPECT_EQ(name.left(12), u"gateway.test");
    EXPECT_EQ(name.mid(12), QString(52, QChar(0)));

    QString unknown = QStringLiteral("nowhere.test");
    EXPECT_EQ(WSOCK::HostToDotted(unknown), u"No IP");
    EXPECT_EQ(unknown.size(), 64);
}

TEST_F(WSOCKNames, HostToDottedOfANameOver64CharactersIsNoIPWithoutALookup)
{
    QString name = QString(65, u'a') + QStringLiteral(".test");
    EXPECT_EQ(WSOCK::HostToDotted(name), u"No IP");
    EXPECT_TRUE(OfflineNames::lookups().isEmpty());
}

TEST_F(WSOCKNames, BytesToDottedWritesPlainDecimals)
{
    EXPECT_EQ(WSOCK::BytesToDotted(192, 0, 2, 1), u"192.0.2.1");
    EXPECT_EQ(WSOCK::BytesToDotted(255, 10, 0, 9), u"255.10.0.9");
}

TEST_F(WSOCKNames, Port65535IsRefusedBeforeAnyLookup)
{
    QString endpoint = QStringLiteral("untouched");
    EXPECT_EQ(WSOCK::OpenTcpConnection(QStringLiteral("gateway.test"), 65535, &endpoint), -1);
    EXPECT_EQ(WSOCK::OpenTcpConnection(QStringLiteral("gateway.test"), 65535 + 65536, &endpoint), -1);
    EXPECT_EQ(endpoint, u"untouched");
    EXPECT_TRUE(OfflineNames::lookups().isEmpty());
}

TEST(WSOCKTcp, ARefusingPortGivesMinusOne)
{
    RefusingPort refusing;
    ASSERT_NE(refusing.port(), 0);
    QString endpoint;
    EXPECT_EQ(WSOCK::OpenTcpConnection(QStringLiteral("127.0.0.1"), refusing.port(), &endpoint), -1);
    EXPECT_EQ(endpoint, QStringLiteral("127.0.0.1:%1").arg(refusing.port()));
    EXPECT_EQ(WSOCK::OpenTcpConnection(QStringLiteral("nowhere.test"), refusing.port()), -1);
}

TEST(WSOCKTcp, AListeningPortGivesANonBlockingSocketThatSendsBytesAsTheyAre)
{
    QByteArray received;
    LineServer server([&](LineServer::Connection& c, int) { received = c.readLine(); });
    ASSERT_NE(server.port(), 0);

    QString endpoint;
    // The port argument is cut to 16 bits, as the layer's callers expect.
    const int socket = WSOCK::OpenTcpConnection(QStringLiteral("127.0.0.1"), server.port() + 65536, &endpoint);
    ASSERT_GT(socket, 0);
    EXPECT_EQ(endpoint, QStringLiteral("127.0.0.1:%1").arg(server.port()));
    EXPECT_TRUE(::fcntl(socket, F_GETFL) & O_NONBLOCK);
    linger option{};
    socklen_t size = sizeof option;
    ASSERT_EQ(::getsockopt(socket, SOL_SOCKET, SO_LINGER, &option, &size), 0);
    EXPECT_EQ(option.l_onoff, 1);
    EXPECT_EQ(option.l_linger, 0);

    EXPECT_EQ(WSOCK::SendBytes(socket, QString()), 0);
    EXPECT_EQ(WSOCK::SendBytes(socket, QByteArray()), 0);
    EXPECT_EQ(WSOCK::SendBytes(socket, QStringLiteral("h\u00e9llo\r\n")), 7);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.finished(); }, 5000));
    EXPECT_EQ(received, QByteArray("h\xe9llo\r\n"));
    WSOCK::CloseSocket(socket);
}

TEST(WSOCKTcp, SetLingerOnSomethingThatIsNoSocketFails)
{
    EXPECT_EQ(WSOCK::SetLinger(-1, 1, 0), -1);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(WSOCK::SetLinger(fd, 1, 5), 0);
    WSOCK::CloseSocket(fd);
}
