#include "net/WSOCK.h"

#include "platform/EventWait.h"
#include "platform/HostResolver.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace WSOCK {

namespace {

bool g_started = false;

} // namespace

bool StartSockets(QString* description)
{
    g_started = true;
    if (description)
        *description = QStringLiteral("POSIX sockets");
    return true;
}

void StopSockets()
{
    g_started = false;
}

bool SocketsStarted()
{
    return g_started;
}

std::uint32_t ResolveAddress(const QString& text)
{
    const std::uint32_t parsed = ::inet_addr(text.toLatin1().constData());
    if (parsed != NoAddress)
        return parsed;
    if (text.isEmpty() || text.size() > 255 || text.contains(QChar(0)))
        return NoAddress;
    return systemHostResolver().resolveIPv4(text).value_or(NoAddress);
}

QString AddressToDotted(std::uint32_t address)
{
    char text[INET_ADDRSTRLEN] = {};
    in_addr in{};
    in.s_addr = address;
    if (!::inet_ntop(AF_INET, &in, text, sizeof text))
        return QStringLiteral("255.255.255.255");
    return QString::fromLatin1(text).left(32);
}

QString ReverseLookup(std::uint32_t address)
{
    auto name = std::make_shared<QString>();
    const WaitResult waited = runInWorker([address, name] {
        sockaddr_in in{};
        in.sin_family = AF_INET;
        in.sin_addr.s_addr = address;
        char host[NI_MAXHOST] = {};
        if (::getnameinfo(reinterpret_cast<const sockaddr*>(&in), sizeof in, host, sizeof host, nullptr, 0,
                          NI_NAMEREQD) == 0)
            *name = QString::fromLocal8Bit(host);
    });
    if (waited != WaitResult::Ready || name->isEmpty())
        return Unknown;
    return *name;
}

QString LocalHostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return Unknown;
    return QString::fromLocal8Bit(name);
}

QString BytesToDotted(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4)
{
    return QStringLiteral("%1.%2.%3.%4").arg(b1).arg(b2).arg(b3).arg(b4);
}

QString HostToDotted(QString& name)
{
    if (name.size() > MaxHostChars)
        return NoIP;
    name = name.leftJustified(MaxHostChars, QChar(0));
    const QString lookup = name.left(name.indexOf(QChar(0)));
    if (lookup.isEmpty())
        return NoIP;
    std::uint32_t address = ::inet_addr(lookup.toLatin1().constData());
    if (address == NoAddress) {
        const auto found = systemHostResolver().resolveIPv4(lookup);
        if (!found)
            return NoIP;
        address = *found;
    }
    std::uint8_t b[4];
    std::memcpy(b, &address, 4);
    return BytesToDotted(b[0], b[1], b[2], b[3]);
}

int SetLinger(int socket, int on, int seconds)
{
    linger option{};
    option.l_onoff = on;
    option.l_linger = seconds;
    if (::setsockopt(socket, SOL_SOCKET, SO_LINGER, &option, sizeof option) != 0)
        return -1;
    socklen_t size = sizeof option;
    if (::getsockopt(socket, SOL_SOCKET, SO_LINGER, &option, &size) != 0)
        return -1;
    return 0;
}

int OpenTcpConnection(const QString& host, int port, QString* endpoint, int connectTimeoutMs)
{
    const auto port16 = static_cast<std::uint16_t>(port);
    // The port whose network-order value is all ones doubles as "no port" for the callers.
    if (port16 == 0xFFFF)
        return -1;
    const std::uint32_t address = ResolveAddress(host);
    if (address == NoAddress)
        return -1;
    if (endpoint)
        *endpoint = AddressToDotted(address) + u':' + QString::number(port16);

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
    if (fd < 0)
        return -1;
    // Linger on with zero seconds: closing drops what is unsent at once instead of lingering in the background.
    if (SetLinger(fd, 1, 0) != 0) {
        ::close(fd);
        return -1;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port16);
    to.sin_addr.s_addr = address;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        if (errno != EINPROGRESS || waitWritable(fd, connectTimeoutMs) != WaitResult::Ready) {
            ::close(fd);
            return -1;
        }
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
            ::close(fd);
            return -1;
        }
    }
    return fd;
}

qint64 SendBytes(int socket, const QByteArray& data)
{
    qint64 sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(socket, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitWritable(socket, 15000) == WaitResult::Ready)
            continue;
        return sent > 0 ? sent : -1;
    }
    return sent;
}

qint64 SendBytes(int socket, const QString& text)
{
    return SendBytes(socket, text.toLatin1());
}

void CloseSocket(int socket)
{
    if (socket > 0)
        ::close(socket);
}

} // namespace WSOCK
