#pragma once

#include "platform/IcmpEcho.h"
#include "trace/Trace.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

#include <arpa/inet.h>
#include <functional>

// Scripted stand-ins for the tracer's platform: hops that answer from a table and names from tables, so traces
// run without root and no lookup ever reaches a name server.
namespace scripted {

inline QString text(std::uint32_t address)
{
    in_addr in{};
    in.s_addr = address;
    return QString::fromLatin1(::inet_ntoa(in));
}

inline std::uint32_t address(const QString& dotted)
{
    return ::inet_addr(dotted.toLatin1().constData());
}

// A route whose hops answer from a script keyed by TTL; a TTL without an entry is silent (no reply at all).
class ScriptedRoute final : public IcmpEchoService {
public:
    struct Hop {
        QString from;
        std::uint32_t status = IcmpStatus::TtlExpiredTransit;
        std::uint32_t roundTripMs = 1;
        std::uint16_t bytes = 0;
        std::uint8_t ttl = 63;
    };

    QMap<int, Hop> hops;
    QList<EchoRequest> sent;
    std::function<void(const EchoRequest&)> duringWait; // where the real service waits with events running
    bool failOpen = false;
    int opened = 0;
    int liveHandles = 0;

    std::unique_ptr<IcmpEchoHandle> open() override
    {
        if (failOpen)
            return nullptr;
        ++opened;
        return std::make_unique<Handle>(*this);
    }

    QList<int> sentTtls() const
    {
        QList<int> ttls;
        for (const EchoRequest& r : sent)
            ttls << r.ttl;
        return ttls;
    }

private:
    class Handle final : public IcmpEchoHandle {
    public:
        explicit Handle(ScriptedRoute& route) : m_route(route) { ++m_route.liveHandles; }
        ~Handle() override { --m_route.liveHandles; }
        int sendEcho(const EchoRequest& request, EchoReply* reply) override
        {
            ScriptedRoute& route = m_route; // duringWait may destroy this handle together with its tracer
            route.sent.append(request);
            if (route.duringWait)
                route.duringWait(request);
            *reply = EchoReply{};
            const auto hop = route.hops.constFind(request.ttl);
            if (hop == route.hops.constEnd()) {
                reply->status = IcmpStatus::RequestTimedOut;
                return 0;
            }
            reply->address = address(hop->from);
            reply->status = hop->status;
            reply->roundTripMs = hop->roundTripMs;
            reply->dataSize = hop->bytes;
            reply->ttl = hop->ttl;
            return 1;
        }

    private:
        ScriptedRoute& m_route;
    };
};

// Names and addresses from tables; nothing is asked of a name server.
class ScriptedNames final : public TraceResolver {
public:
    bool started = true;
    QString local = QStringLiteral("workstation.example.nl");
    QHash<QString, QString> forward; // name -> dotted
    QHash<QString, QString> reverse; // dotted -> name

    bool startSockets() override { return started; }
    QString localHostName() override { return local; }
    QString hostToDotted(QString& name) override
    {
        if (name.size() > 64)
            return QStringLiteral("No IP");
        name = name.leftJustified(64, QChar(0));
        const QString key = name.left(name.indexOf(QChar(0)));
        if (address(key) != 0xFFFFFFFFu)
            return key;
        return forward.value(key, QStringLiteral("No IP"));
    }
    std::uint32_t resolveAddress(const QString& text) override
    {
        const std::uint32_t parsed = address(text);
        return parsed != 0xFFFFFFFFu ? parsed : address(forward.value(text, QStringLiteral("255.255.255.255")));
    }
    QString reverseLookup(std::uint32_t a) override { return reverse.value(text(a), QStringLiteral("Unknown")); }
};

} // namespace scripted
