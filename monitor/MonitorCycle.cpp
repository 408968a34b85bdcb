#include "monitor/MonitorCycle.h"

#include "monitor/IntervalBox.h"
#include "monitor/Ping.h"

#include <QCoreApplication>
#include <QPointer>

MonitorCycle::MonitorCycle(Ping& ping, CycleHost& host, Clock& clock, QObject* parent)
    : QObject(parent), m_ping(ping), m_host(host), m_clock(clock)
{
    m_timer.setParent(this);
    m_timer.setObjectName(QStringLiteral("Timer1"));
    connect(&m_timer, &QTimer::timeout, this, &MonitorCycle::tick);
    connect(&m_ping, &Ping::PingOK, this, &MonitorCycle::onPingOK);
    connect(&m_ping, &Ping::PingError, this, &MonitorCycle::onPingError);
}

void MonitorCycle::markStartup()
{
    m_startupMarkMs = m_clock.monotonicMs();
}

void MonitorCycle::start(const QString& intervalText)
{
    m_timer.start(IntervalBox::startIntervalMs(intervalText));
}

void MonitorCycle::stop()
{
    m_timer.stop();
    emit stopped();
}

void MonitorCycle::tick()
{
    const QString host = m_host.hostText();
    if (host.isEmpty() || m_busy)
        return;
    if (m_startupMarkMs >= 0) {
        if (m_clock.monotonicMs() - m_startupMarkMs < StartupDelayMs)
            return;
        m_startupMarkMs = -1;
    }

    QPointer<MonitorCycle> self(this);
    emit busyChanged(true);
    emit lightChanged(Yellow);
    if (m_host.isMinimized()) {
        emit iconChanged(QStringLiteral("YELLOW"));
        emit captionChanged(QStringLiteral("Pinging ..."));
    }
    QCoreApplication::processEvents();
    if (!self)
        return;
    m_busy = true;
    m_probedHost = host;
    const int timeout = IntervalBox::timeoutMsFor(m_timer.interval());
    m_ping.DoPing(host, static_cast<qint16>(std::clamp(timeout, 1, 32767)));
    if (!self)
        return;
    // An event handler always clears the flag; this guards a probe that somehow raised none.
    if (m_busy)
        finishProbe();
    QCoreApplication::processEvents();
}

void MonitorCycle::setAddress(const QString& address)
{
    m_address = address;
    emit addressTextChanged(address);
}

void MonitorCycle::onPingOK(qint32 roundTripMs)
{
    emit resultTextChanged(QStringLiteral("Time: ") + QString::number(roundTripMs));
    setAddress(m_ping.LastIP());
    const QString host = m_probedHost.isEmpty() ? m_host.hostText() : m_probedHost;
    if (roundTripMs == 0 && m_address == Ping::NoIP) {
        emit lightChanged(Red);
        emit alertCheck(host, -1);
    } else {
        emit lightChanged(Green);
        emit alertCheck(host, roundTripMs);
    }
    processResult(roundTripMs);
    finishProbe();
}

void MonitorCycle::onPingError(const QString& message)
{
    emit resultTextChanged(message);
    // The address is shown on failures too, so an unresolvable host reads "No IP" rather than a stale address.
    setAddress(m_ping.LastIP());
    emit lightChanged(Red);
    processResult(-1);
    finishProbe();
}

void MonitorCycle::processResult(int value)
{
    QString colourName;
    if (value == -1 || (value == 0 && m_address == Ping::NoIP)) {
        emit captionChanged(m_baseTitle + QStringLiteral(" : No NET"));
        colourName = QStringLiteral("RED");
        value = 0;
    } else {
        emit captionChanged(m_baseTitle + QStringLiteral(" : ") + QString::number(value) + QStringLiteral("ms"));
        colourName = m_scale.colourName(value);
    }
    emit iconChanged(m_host.isMinimized() ? colourName : QStringLiteral("A_"));
    emit resultReady(value, m_probedHost.isEmpty() ? m_host.hostText() : m_probedHost, colourName);
}

void MonitorCycle::finishProbe()
{
    m_busy = false;
    m_probedHost.clear();
    emit busyChanged(false);
    QCoreApplication::processEvents();
}
