#pragma once

#include "platform/HostResolver.h"
#include "platform/IcmpEcho.h"

#include <QObject>
#include <QString>

#include <cstdint>

// A single-shot echo probe: resolves a host, sends one ICMP echo and reports the outcome by exactly one event,
// raised before DoPing returns.
class Ping : public QObject {
    Q_OBJECT
public:
    explicit Ping(IcmpEchoService& echo = systemIcmpEchoService(), HostResolver& resolver = systemHostResolver(),
                  QObject* parent = nullptr);

    // True when an echo reply with status 0 arrived. Events of the thread keep running while it waits.
    bool DoPing(const QString& host, qint16 timeoutMs);

    // inet_addr(): the address in network byte order, all ones for text that is not an address.
    static std::uint32_t IP2Long(const QString& dotted);
    // The dotted address of the host's first address, or "No IP"; also kept as LastIP.
    QString pingGetHostByName(const QString& name);
    QString LastIP() const { return m_lastIP; }

    static constexpr int MaxHostChars = 64;
    static inline const QString NoIP = QStringLiteral("No IP");

signals:
    void PingOK(qint32 roundTripMs);
    void PingError(const QString& message);

private:
    static QString AddressToText(const std::uint8_t bytes[4]);
    static QString StatusText(std::uint32_t code);

    IcmpEchoService& m_echo;
    HostResolver& m_resolver;
    QString m_lastIP;
};
