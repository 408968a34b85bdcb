#pragma once

#include <QString>

// The rules of the probe-interval box, apart from any widget.
namespace IntervalBox {

inline constexpr int DefaultSeconds = 10;
inline constexpr int MaxSeconds = 60;

// What a change of the box stores in "TimeOut": the leading whole number of "0" + text, 10 below 1, 60 above 60.
int storedSeconds(const QString& text);

// The running interval a start takes from the box: the box's number in ms, rounded; texts that give less than a
// second or no number at all fall back to the stored rule, so a start never arms a timer that cannot fire.
int startIntervalMs(const QString& text);

// The probe's time-out for an interval: 100 ms less than the interval, at most 10 s.
int timeoutMsFor(int intervalMs);

// What leaving the box does.
struct LeaveCheck {
    enum class Outcome { Accept, NotANumber, TooLarge } outcome = Outcome::Accept;
    QString message;     // shown when not accepted
    QString replacement; // the box's new text when not accepted
};
LeaveCheck checkOnLeave(const QString& text);

} // namespace IntervalBox
