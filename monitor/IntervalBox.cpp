#include "monitor/IntervalBox.h"

#include <algorithm>
#include <cmath>

namespace IntervalBox {

namespace {

// The number at the start of the text, blanks skipped, as far as digits reach.
qint64 leadingWholeNumber(const QString& text)
{
    qint64 n = 0;
    for (const QChar c : text) {
        if (c == u' ' || c == u'\t')
            continue;
        if (!c.isDigit() || c.unicode() > 127)
            break;
        n = std::min<qint64>(n * 10 + (c.unicode() - '0'), 1'000'000'000);
    }
    return n;
}

} // namespace

int storedSeconds(const QString& text)
{
    const qint64 n = leadingWholeNumber(QLatin1Char('0') + text);
    if (n < 1)
        return DefaultSeconds;
    if (n > MaxSeconds)
        return MaxSeconds;
    return static_cast<int>(n);
}

int startIntervalMs(const QString& text)
{
    bool ok = false;
    const double seconds = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 1)
        return storedSeconds(text) * 1000;
    if (seconds > MaxSeconds)
        return MaxSeconds * 1000;
    return static_cast<int>(std::lround(seconds * 1000));
}

int timeoutMsFor(int intervalMs)
{
    // Always 100 ms short of the interval, so a probe ends before the next tick, and never above 10 s.
    return std::min(intervalMs - 100, 10000);
}

LeaveCheck checkOnLeave(const QString& text)
{
    bool ok = false;
    const double n = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(n))
        return {LeaveCheck::Outcome::NotANumber, QStringLiteral("Invalid number!"), QStringLiteral("10")};
    if (n >= MaxSeconds)
        return {LeaveCheck::Outcome::TooLarge, QStringLiteral("You can input time less then 60 seconds only!"),
                QStringLiteral("60")};
    return {};
}

} // namespace IntervalBox
