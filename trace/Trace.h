#pragma once

#include "platform/IcmpEcho.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

class HopGrid;

// The socket-layer operations the tracer uses. The system one forwards to WSOCK; tests script names and addresses
// so no query ever reaches a name server.
class TraceResolver {
public:
    virtual ~TraceResolver() = default;
    virtual bool startSockets() = 0;
    // This machine's name, or "Unknown".
    virtual QString localHostName() = 0;
    // The dotted text of the name's first address, or "No IP"; may pad `name` with NULs to 64 characters.
    virtual QString hostToDotted(QString& name) = 0;
    // A dotted address or a name to an address in network byte order; all ones on failure.
    virtual std::uint32_t resolveAddress(const QString& text) = 0;
    // The host's name, or "Unknown".
    virtual QString reverseLookup(std::uint32_t address) = 0;
};

TraceResolver& systemTraceResolver();

// Finds the route to a host with ICMP echo requests of rising TTL, from 2 up to 255, and writes one row of the hop
// grid per answering router. Results arrive through the events and the grid; DoTrace returns when the trace is over.
//
// The getter IP() and the event IP(text) share their name; connect to the event with
// qOverload<const QString&>(&Trace::IP).
class Trace : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Log READ Log WRITE setLog NOTIFY LogString)
    Q_PROPERTY(QString IP READ IP WRITE setIP NOTIFY IP)
    Q_PROPERTY(QString Hosts READ Hosts WRITE setHosts NOTIFY HostName)

public:
    explicit Trace(IcmpEchoService& echo = systemIcmpEchoService(), TraceResolver& names = systemTraceResolver(),
                   QObject* parent = nullptr);
    ~Trace() override;

    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    // Traces the route to Hosts (this machine's name when empty) into `grid`, each echo waiting at most `Timeout`
    // milliseconds. Events run before and after every probe, so StopTrace can be set from a click or a timer; the
    // object may even be destroyed by them, and then DoTrace returns at once. The grid must outlive the trace or go
    // together with this object. A call made while a trace runs returns at once.
    void DoTrace(HopGrid& grid, qint32 Timeout);

    // Last log line; setting it raises LogString.
    QString Log() const { return m_log; }
    void setLog(const QString& text);
    // Destination in dotted form; setting a non-empty text also resolves the address that is probed. Raises IP.
    QString IP() const { return m_ip; }
    void setIP(const QString& text);
    // The host to trace, stored without leading and trailing blanks. Raises HostName.
    QString Hosts() const { return m_hosts; }
    void setHosts(const QString& text);

    // True from the start of the hop loop until DoTrace finishes.
    bool isBusy() const { return m_busy; }

    // Cancel request: cleared when DoTrace starts, tested before every probe.
    bool StopTrace = false;
    // Dotted address of the last reply received in this trace.
    QString RespondingHost;

    // The 32 bytes every probe carries.
    static const QByteArray ProbePayload;
    static constexpr int FirstTtl = 2;
    static constexpr int LastTtl = 255;

    // The log line of hop `hop`: " # 05 Reply from 198.18.1.2: Bytes = 0 Time = 1ms TTL = 63".
    static QString HopLine(int hop, const QString& from, int bytes, std::uint32_t roundTripMs, int ttl);
    // The text of an echo status, or empty for a code without one (11002 among them).
    static QString StatusText(std::uint32_t code);

signals:
    void LogString(const QString& text);
    // Twice per reply: the status text when the code has one, then " (" + code + ")".
    void Status(const QString& text);
    void IP(const QString& text);
    void HostName(const QString& text);
    // A trace that cannot start, a reply with a non-zero status ("11003:"), or an unexpected error.
    void OnError(const QString& text);
    // True when the busy pointer should show, false when the default one should come back; always paired, also
    // when the object is destroyed during a trace. The library has no widgets, so the view sets the pointer.
    void busyChanged(bool busy);

private:
    enum class Outcome { Done, Destroyed };

    Outcome runTrace(HopGrid& grid, qint32 timeoutMs);
    Outcome hopLoop();
    Outcome SendProbe();
    Outcome HandleReply(const EchoReply& reply);
    bool OpenIcmp();
    void CloseIcmp();
    QString LookupHostName(const QString& text);
    void InitTraceGrid();
    void RaiseStatus(const QString& text);
    void finish();

    IcmpEchoService& m_echo;
    TraceResolver& m_names;
    std::unique_ptr<IcmpEchoHandle> m_handle;
    int m_lastReplies = 0;
    std::uint32_t m_destination = 0xFFFFFFFFu; // network byte order
    bool m_busy = false;
    bool m_running = false; // from the first to the last step of DoTrace, against re-entry
    qint16 m_ttl = 0;
    qint32 m_timeoutMs = 0;
    HopGrid* m_grid = nullptr;

    QString m_log;
    QString m_ip;
    QString m_hosts;
};
