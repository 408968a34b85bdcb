#pragma once

#include <QDateTime>

// Time as the logic sees it. Rules that depend on the time of day or on elapsed time take a Clock so tests can set
// the time instead of waiting for it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Milliseconds on a monotonic scale: only differences mean anything.
    virtual qint64 monotonicMs() const = 0;
};

Clock& systemClock();

// A clock that moves only when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(0, 0))) : m_now(std::move(start)) {}

    QDateTime now() const override { return m_now; }
    qint64 monotonicMs() const override { return m_monotonicMs; }

    void advanceMs(qint64 ms)
    {
        m_monotonicMs += ms;
        m_now = m_now.addMSecs(ms);
    }
    void setNow(const QDateTime& now) { m_now = now; }

private:
    QDateTime m_now;
    qint64 m_monotonicMs = 0;
};
