#include "platform/GeneralDate.h"

#include <QRegularExpression>

namespace GeneralDate {

QString dateFormat(const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QRegularExpression(QStringLiteral("y+")), QStringLiteral("yyyy"));
    return format;
}

QString timeFormat(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    // "t" is the zone; quoted literals never hold a bare t in the locales Qt ships, so a plain removal is safe.
    format.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b\\s*")));
    return format.trimmed();
}

QString toText(const QDateTime& moment, const QLocale& locale)
{
    const QString date = locale.toString(moment.date(), dateFormat(locale));
    if (moment.time() == QTime(0, 0))
        return date;
    return date + u' ' + locale.toString(moment.time(), timeFormat(locale));
}

QDateTime fromText(const QString& text, const QLocale& locale)
{
    const QString trimmed = text.trimmed();
    const QDateTime full = locale.toDateTime(trimmed, dateFormat(locale) + u' ' + timeFormat(locale));
    if (full.isValid())
        return full;
    const QDate date = locale.toDate(trimmed, dateFormat(locale));
    return date.isValid() ? QDateTime(date, QTime(0, 0)) : QDateTime();
}

} // namespace GeneralDate
