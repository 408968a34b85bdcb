#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The desktop's general date form: the locale's short date, a blank, the locale's long time; at exactly midnight the
// date alone. Logs are written in it and read back with it, so both directions live here.
//
// Two adjustments keep the text faithful to the moment: a two-digit year is widened to four digits, and the time
// zone that some locales put in their long time is left out (the logs hold local time).
namespace GeneralDate {

QString dateFormat(const QLocale& locale = QLocale::system());
QString timeFormat(const QLocale& locale = QLocale::system());

QString toText(const QDateTime& moment, const QLocale& locale = QLocale::system());
// Reads a text written by toText with the same locale; an invalid QDateTime when it does not fit.
QDateTime fromText(const QString& text, const QLocale& locale = QLocale::system());

} // namespace GeneralDate
