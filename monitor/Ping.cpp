#include "monitor/Ping.h"

#include <QPointer>

#include <arpa/inet.h>
#include <cstring>

namespace {

const QByteArray EchoData = QByteArrayLiteral("Echo this String of data");

} // namespace

Ping::Ping(IcmpEchoService& echo, HostResolver& resolver, QObject* parent)
    : QObject(parent), m_echo(echo), m_resolver(resolver)
{}

std::uint32_t Ping::IP2Long(const QString& dotted)
{
    return ::inet_addr(dotted.toLatin1().constData());
}

QString Ping::AddressToText(const std::uint8_t bytes[4])
{
    return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
}

QString Ping::StatusText(std::uint32_t code)
{
    switch (code) {
    case IcmpStatus::DestNetUnreachable:
        return QStringLiteral("destination net unreachable");
    case IcmpStatus::DestHostUnreachable:
        return QStringLiteral("destination host unreachable");
    case IcmpStatus::RequestTimedOut:
        return QStringLiteral(" request timed out");
    case IcmpStatus::BadRequest:
        return QStringLiteral("bad request");
    case IcmpStatus::BadDestination:
        return QStringLiteral("bad destination");
    case IcmpStatus::GeneralFailure:
        return QStringLiteral("general failure");
    default:
        return QStringLiteral("unspecified error");
    }
}

QString Ping::pingGetHostByName(const QString& name)
{
    std::optional<std::uint32_t> address;
    // A dotted address needs no resolver round; anything else goes to the system resolver.
    in_addr literal{};
    if (::inet_pton(AF_INET, name.toLatin1().constData(), &literal) == 1)
        address = literal.s_addr;
    else if (name.size() <= MaxHostChars && !name.contains(QChar(0)))
        address = m_resolver.resolveIPv4(name);

    if (!address) {
        m_lastIP = NoIP;
        return m_lastIP;
    }
    std::uint8_t bytes[4];
    std::memcpy(bytes, &*address, sizeof bytes);
    m_lastIP = AddressToText(bytes);
    return m_lastIP;
}

bool Ping::DoPing(const QString& host, qint16 timeoutMs)
{
    QPointer<Ping> self(this);
    if (host.size() > MaxHostChars) {
        m_lastIP = NoIP;
        emit PingError(QStringLiteral("Ping failed : host name longer than %1 characters").arg(MaxHostChars));
        return false;
    }
    const QString ip = pingGetHostByName(host);
    if (ip == NoIP) {
        // Never fall back to the all-ones address: that would be a broadcast to the whole local network.
        emit PingError(QStringLiteral("Ping failed : ") + StatusText(IcmpStatus::BadDestination));
        return false;
    }

    EchoRequest request;
    request.destination = IP2Long(ip);
    request.data = EchoData;
    request.timeoutMs = timeoutMs;
    EchoReply reply;
    int replies = 0;
    {
        const std::unique_ptr<IcmpEchoHandle> handle = m_echo.open();
        if (handle)
            replies = handle->sendEcho(request, &reply);
    }
    if (!self) // the owner went away while events ran during the wait
        return false;

    if (replies == 0) {
        emit PingError(QStringLiteral("Ping failed : ") + StatusText(reply.status));
        return false;
    }
    if (reply.status != IcmpStatus::Success) {
        emit PingError(QStringLiteral("Ping failed To complete: ") + StatusText(reply.status));
        return false;
    }
    emit PingOK(static_cast<qint32>(reply.roundTripMs));
    return true;
}
