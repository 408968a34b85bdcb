#include "trace/Trace.h"

#include "net/WSOCK.h"
#include "trace/CountryTable.h"
#include "trace/HopGrid.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>

namespace {

class SystemTraceResolver final : public TraceResolver {
public:
    bool startSockets() override { return WSOCK::SocketsStarted() || WSOCK::StartSockets(); }
    QString localHostName() override { return WSOCK::LocalHostName(); }
    QString hostToDotted(QString& name) override { return WSOCK::HostToDotted(name); }
    std::uint32_t resolveAddress(const QString& text) override { return WSOCK::ResolveAddress(text); }
    QString reverseLookup(std::uint32_t address) override { return WSOCK::ReverseLookup(address); }
};

// Lets pending events run; false when one of them destroyed the tracer, which must then touch nothing of itself.
bool yieldEvents(const QPointer<Trace>& self)
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    return !self.isNull();
}

QString dotted(std::uint32_t address)
{
    std::uint8_t b[4];
    std::memcpy(b, &address, sizeof b); // network byte order: the first byte is the first number
    return WSOCK::BytesToDotted(b[0], b[1], b[2], b[3]);
}

// A label such as the "7" of "10.0.0.7" makes the name an address, which names no country.
bool isNumeric(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value);
}

QString blanksTrimmed(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

TraceResolver& systemTraceResolver()
{
    static SystemTraceResolver resolver;
    return resolver;
}

// The letters a to w, then a to i: the first 32 characters of the alphabet run a..w repeated.
const QByteArray Trace::ProbePayload = QByteArrayLiteral("abcdefghijklmnopqrstuvwabcdefghi");

Trace::Trace(IcmpEchoService& echo, TraceResolver& names, QObject* parent)
    : QObject(parent), m_echo(echo), m_names(names)
{
    // The result does not matter here: DoTrace starts the socket layer again when this failed.
    m_names.startSockets();
}

Trace::~Trace()
{
    CloseIcmp();
    m_grid = nullptr;
    if (m_running)
        emit busyChanged(false); // destroyed by an event during a trace: the pointer must still come back
}

void Trace::setLog(const QString& text)
{
    m_log = text;
    emit LogString(text);
}

void Trace::setIP(const QString& text)
{
    m_ip = text;
    if (!text.isEmpty()) {
        const QPointer<Trace> self(this);
        // "No IP" is the resolver's failure text and never a host; looking it up would only send a pointless query
        // to the name server.
        const std::uint32_t address = text == WSOCK::NoIP ? WSOCK::NoAddress : m_names.resolveAddress(text);
        if (!self)
            return; // a name lookup lets events run
        m_destination = address;
    }
    emit IP(text);
}

void Trace::setHosts(const QString& text)
{
    m_hosts = blanksTrimmed(text);
    emit HostName(m_hosts);
}

QString Trace::StatusText(std::uint32_t code)
{
    switch (code) {
    case 0:
        return QStringLiteral("Success");
    case 11001:
        return QStringLiteral("Buffer too Small");
    case 11003:
        return QStringLiteral("Dest Host Not Reachable");
    case 11004:
        return QStringLiteral("Dest Protocol Not Reachable");
    case 11005:
        return QStringLiteral("Dest Port Not Reachable");
    case 11006:
        return QStringLiteral("No Resources Available");
    case 11007:
        return QStringLiteral("Bad Option");
    case 11008:
        return QStringLiteral("Hardware Error");
    case 11009:
        return QStringLiteral("Packet too Big");
    case 11010:
        return QStringLiteral("Rqst Timed Out");
    case 11011:
        return QStringLiteral("Bad Request");
    case 11012:
        return QStringLiteral("Bad Route");
    case 11013:
        return QStringLiteral("TTL Exprd In Transit");
    case 11014:
        return QStringLiteral("TTL Exprd Reassemb");
    case 11015:
        return QStringLiteral("Parameter Problem");
    case 11016:
        return QStringLiteral("Source Quench");
    case 11017:
        return QStringLiteral("Option too Big");
    case 11018:
        return QStringLiteral(" Bad Destination");
    case 11019:
        return QStringLiteral("Address Deleted");
    case 11020:
        return QStringLiteral("Spec MTU Change");
    case 11021:
        return QStringLiteral("MTU Change");
    case 11022:
        return QStringLiteral("Unload");
    case 11050:
        return QStringLiteral("General Failure");
    default:
        return {}; // 11002 (net unreachable) has no text of its own
    }
}

QString Trace::HopLine(int hop, const QString& from, int bytes, std::uint32_t roundTripMs, int ttl)
{
    const QString number = (hop < 10 ? QStringLiteral(" # 0") : QStringLiteral(" # ")) + QString::number(hop);
    return number + QStringLiteral(" Reply from ") + from + QStringLiteral(": Bytes = ") + QString::number(bytes) +
           QStringLiteral(" Time = ") + QString::number(roundTripMs) + QStringLiteral("ms TTL = ") +
           QString::number(ttl);
}

void Trace::DoTrace(HopGrid& grid, qint32 Timeout)
{
    if (m_running)
        return;
    m_running = true;
    const QPointer<Trace> self(this);
    emit busyChanged(true);

    Outcome outcome = Outcome::Done;
    // Nothing below is expected to throw; should something still do so (a grid of the owner's, memory), the user
    // hears of it through OnError and the finishing steps run as after any other trace.
    try {
        outcome = runTrace(grid, Timeout);
    } catch (const std::system_error& e) {
        if (self)
            emit OnError(QString::number(e.code().value()) + QStringLiteral(": ") + QString::fromLocal8Bit(e.what()));
    } catch (const std::exception& e) {
        if (self)
            emit OnError(QStringLiteral("0: ") + QString::fromLocal8Bit(e.what()));
    } catch (...) {
        if (self)
            emit OnError(QStringLiteral("0: unknown error"));
    }
    if (outcome == Outcome::Destroyed || !self)
        return;
    finish();
}

Trace::Outcome Trace::runTrace(HopGrid& grid, qint32 timeoutMs)
{
    const QPointer<Trace> self(this);
    if (!m_names.startSockets()) {
        emit OnError(QStringLiteral("Cannot start WinSock"));
        return Outcome::Done;
    }
    StopTrace = false;
    // A reply from an earlier trace to the same host would otherwise end this one at its first silent hop.
    RespondingHost.clear();
    m_timeoutMs = timeoutMs;
    m_grid = &grid;
    InitTraceGrid();

    if (m_hosts.isEmpty())
        setHosts(m_names.localHostName());
    QString host = m_hosts; // padded with NULs by the resolver; Hosts keeps the text as it was set
    const QString ip = m_names.hostToDotted(host);
    if (!self)
        return Outcome::Destroyed; // name lookups let events run
    setIP(ip);
    if (!self)
        return Outcome::Destroyed;
    if (ip.isEmpty() || ip == WSOCK::NoIP) {
        emit OnError(QStringLiteral("Cannot resolve IP"));
        return Outcome::Done;
    }
    if (!OpenIcmp()) {
        emit OnError(QStringLiteral("Cannot create packet file"));
        return Outcome::Done;
    }

    m_busy = true;
    setLog(QStringLiteral("Tracing Route To ") + m_ip + QStringLiteral(":"));
    return hopLoop();
}

Trace::Outcome Trace::hopLoop()
{
    const QPointer<Trace> self(this);
    for (m_ttl = FirstTtl; m_ttl <= LastTtl; ++m_ttl) {
        if (StopTrace) {
            setLog(QStringLiteral("Canceled"));
            return Outcome::Done;
        }
        if (SendProbe() == Outcome::Destroyed || !yieldEvents(self))
            return Outcome::Destroyed;
        if (RespondingHost == m_ip) {
            setLog(QStringLiteral("Route Trace has Completed"));
            return Outcome::Done;
        }
    }
    return Outcome::Done; // past TTL 255 the loop ends without a message
}

Trace::Outcome Trace::SendProbe()
{
    const QPointer<Trace> self(this);
    if (!yieldEvents(self))
        return Outcome::Destroyed;

    EchoRequest request;
    request.destination = m_destination;
    request.data = ProbePayload;
    request.ttl = static_cast<std::uint8_t>(m_ttl);
    request.tos = 0;
    request.flags = 0;
    request.timeoutMs = m_timeoutMs;
    // The reply lives on the stack: the handle still writes into it when an event during the wait destroyed us.
    EchoReply reply;
    const QDeadlineTimer deadline(std::max(m_timeoutMs, 0), Qt::PreciseTimer);
    const int replies = m_handle->sendEcho(request, &reply);
    if (!self)
        return Outcome::Destroyed;
    m_lastReplies = replies;

    if (replies != 0) {
        RespondingHost = dotted(reply.address);
        return HandleReply(reply);
    }

    --m_ttl; // no reply at all: the loop probes the same TTL again
    // A request refused on the spot (no route to the destination, no socket) comes back at once. Probing again at
    // once would spin the processor until StopTrace, so the rest of the time-out passes with events running, as it
    // does for a probe that got lost.
    if (!QCoreApplication::instance()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(deadline.remainingTime()));
        return Outcome::Done;
    }
    QTimer wake; // guarantees an event at the deadline, so the waiting below always ends
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!deadline.hasExpired()) {
        if (!wake.isActive())
            wake.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!self)
            return Outcome::Destroyed;
        if (StopTrace)
            break;
    }
    return Outcome::Done;
}

Trace::Outcome Trace::HandleReply(const EchoReply& reply)
{
    const QPointer<Trace> self(this);
    const QString text = StatusText(reply.status);
    if (!text.isEmpty())
        RaiseStatus(text);
    RaiseStatus(QStringLiteral(" (") + QString::number(reply.status) + QStringLiteral(")"));
    if (reply.status != IcmpStatus::Success)
        emit OnError(QString::number(reply.status) + QStringLiteral(":"));
    if (!yieldEvents(self))
        return Outcome::Destroyed;

    const int hop = m_ttl - 1;
    const QString from = RespondingHost;
    setLog(HopLine(hop, from, reply.dataSize, reply.roundTripMs, reply.ttl));

    HopGrid& grid = *m_grid;
    const QString name = LookupHostName(from);
    if (!self)
        return Outcome::Destroyed;
    grid.setText(hop, HopGrid::HostName, name);
    grid.setText(hop, HopGrid::Address, from);
    grid.setText(hop, HopGrid::Time, QString::number(reply.roundTripMs));

    // The country is that of the name's top-level domain, read back from the grid as the user sees it.
    const QStringList labels = grid.text(hop, HopGrid::HostName).split(u'.');
    if (labels.size() >= 2 && !isNumeric(labels.last()))
        grid.setText(hop, HopGrid::Country, CountryName(labels.last().toUpper()));
    return Outcome::Done;
}

bool Trace::OpenIcmp()
{
    try {
        m_handle = m_echo.open();
    } catch (...) {
        m_handle.reset();
    }
    return m_handle != nullptr;
}

void Trace::CloseIcmp()
{
    m_handle.reset();
}

QString Trace::LookupHostName(const QString& text)
{
    const QPointer<Trace> self(this);
    try {
        const std::uint32_t address = m_names.resolveAddress(text);
        if (!self || address == WSOCK::NoAddress)
            return WSOCK::Unknown;
        const QString name = m_names.reverseLookup(address);
        return name.isEmpty() ? WSOCK::Unknown : name;
    } catch (...) {
        return WSOCK::Unknown;
    }
}

void Trace::InitTraceGrid()
{
    m_grid->initLayout();
}

void Trace::RaiseStatus(const QString& text)
{
    emit Status(text);
}

void Trace::finish()
{
    m_busy = false;
    CloseIcmp();
    m_grid = nullptr;
    m_running = false;
    emit busyChanged(false);
}
