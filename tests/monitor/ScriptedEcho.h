#pragma once

#include "platform/HostResolver.h"
#include "platform/IcmpEcho.h"

#include <QHash>
#include <QList>

#include <arpa/inet.h>
#include <functional>

// An echo service that answers from a script, so the probe and the cycle run without sockets or privileges.
class ScriptedEcho final : public IcmpEchoService {
public:
    struct Outcome {
        int replies = 1;
        std::uint32_t status = IcmpStatus::Success;
        std::uint32_t roundTripMs = 0;
    };

    // Runs inside sendEcho, where the real service would be waiting with events running.
    std::function<void()> duringWait;
    QList<Outcome> script; // one per echo, in order; when empty, every echo is answered in 0 ms
    QList<EchoRequest> sent;

    std::unique_ptr<IcmpEchoHandle> open() override { return std::make_unique<Handle>(*this); }

private:
    class Handle final : public IcmpEchoHandle {
    public:
        explicit Handle(ScriptedEcho& owner) : m_owner(owner) {}
        int sendEcho(const EchoRequest& request, EchoReply* reply) override
        {
            m_owner.sent.append(request);
            if (m_owner.duringWait)
                m_owner.duringWait();
            const Outcome outcome = m_owner.script.isEmpty() ? Outcome{} : m_owner.script.takeFirst();
            reply->address = request.destination;
            reply->status = outcome.status;
            reply->roundTripMs = outcome.roundTripMs;
            return outcome.replies;
        }

    private:
        ScriptedEcho& m_owner;
    };
};

// A resolver with a fixed table; every other name fails, and nothing is ever asked of a real name server.
class TableResolver final : public HostResolver {
public:
    QHash<QString, QString> table;
    QStringList asked;

    std::optional<std::uint32_t> resolveIPv4(const QString& name) override
    {
        asked.append(name);
        const auto found = table.constFind(name);
        if (found == table.constEnd())
            return std::nullopt;
        return ::inet_addr(found->toLatin1().constData());
    }
};
