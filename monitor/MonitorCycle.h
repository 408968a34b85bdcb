#pragma once

#include "monitor/ColourScale.h"
#include "platform/Clock.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>

class Ping;

// What the cycle needs to know of the window it serves.
class CycleHost {
public:
    virtual ~CycleHost() = default;
    virtual QString hostText() const = 0; // the host selector's text
    virtual bool isMinimized() const = 0;
};

// Probes one host again and again at a fixed interval and hands every outcome on. It owns no widget: it reports
// what the window should show through signals, so it runs and is tested without one.
class MonitorCycle : public QObject {
    Q_OBJECT
public:
    // Status light colours.
    static constexpr std::uint32_t Yellow = 65535, Green = 65280, Red = 255;
    static constexpr qint64 StartupDelayMs = 5000;

    MonitorCycle(Ping& ping, CycleHost& host, Clock& clock = systemClock(), QObject* parent = nullptr);

    // Marks the moment the window loaded: ticks within the next five seconds make no probe.
    void markStartup();
    void setBaseTitle(const QString& title) { m_baseTitle = title; }
    QString baseTitle() const { return m_baseTitle; }
    void setColourScale(const ColourScale& scale) { m_scale = scale; }
    const ColourScale& colourScale() const { return m_scale; }

    // Starts ticking with the interval the interval box's text gives.
    void start(const QString& intervalText);
    // Stops ticking; a probe under way still ends with its event.
    void stop();

    bool isRunning() const { return m_timer.isActive(); }
    bool isBusy() const { return m_busy; }
    int intervalMs() const { return m_timer.interval(); }
    QTimer& timer() { return m_timer; }
    QString addressText() const { return m_address; }

public slots:
    void tick();
    void onPingOK(qint32 roundTripMs);
    void onPingError(const QString& message);

signals:
    void lightChanged(std::uint32_t colour);
    void resultTextChanged(const QString& text);
    void addressTextChanged(const QString& text);
    void captionChanged(const QString& caption);
    void iconChanged(const QString& iconName);
    void busyChanged(bool busy); // the window shows the busy pointer meanwhile
    void stopped();              // the window switches logging off
    // Hand-over points: the alert rules see replies; the live graph (and through it the log) sees every result.
    void alertCheck(const QString& host, int value);
    void resultReady(int value, const QString& host, const QString& colourName);

private:
    void processResult(int value);
    void finishProbe();
    void setAddress(const QString& address);

    Ping& m_ping;
    CycleHost& m_host;
    Clock& m_clock;
    QTimer m_timer;
    ColourScale m_scale = ColourScale::defaults();
    QString m_baseTitle;
    QString m_address; // what Label2 shows
    qint64 m_startupMarkMs = -1;
    bool m_busy = false;
    QString m_probedHost;
};
