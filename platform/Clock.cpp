#include "platform/Clock.h"

#include <QElapsedTimer>

namespace {

class SystemClock final : public Clock {
public:
    SystemClock() { m_timer.start(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 monotonicMs() const override { return m_timer.elapsed(); }

private:
    QElapsedTimer m_timer;
};

} // namespace

Clock& systemClock()
{
    static SystemClock clock;
    return clock;
}
