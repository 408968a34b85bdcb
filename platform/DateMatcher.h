#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <limits>
#include <vector>

namespace TextSql {

// A moment packed as the decimal number yyyyMMddHHmmss: it orders like the moments, and like their stored text
// "yyyy-MM-dd HH:mm:ss", so a sorted column of keys can be searched with either.
using DateKey = qint64;
inline constexpr DateKey NullKey = std::numeric_limits<DateKey>::min();

constexpr DateKey packDate(int year, int month, int day, int hour, int minute, int second)
{
    return ((((DateKey(year) * 100 + month) * 100 + day) * 100 + hour) * 100 + minute) * 100 + second;
}
struct DateParts {
    int year, month, day, hour, minute, second;
};
constexpr DateParts unpackDate(DateKey key)
{
    return {static_cast<int>(key / 10000000000),   static_cast<int>(key / 100000000 % 100),
            static_cast<int>(key / 1000000 % 100), static_cast<int>(key / 10000 % 100),
            static_cast<int>(key / 100 % 100),     static_cast<int>(key % 100)};
}
// Writes the stored text "yyyy-MM-dd HH:mm:ss" (19 characters) and a terminator.
void writeStoredDate(DateKey key, char* out);
// Reads the stored text back; false when it is not one.
bool readStoredDate(const char* text, qsizetype length, DateKey* key);
QDateTime toDateTime(DateKey key);
DateKey toDateKey(const QDateTime& moment); // NullKey for an invalid moment

// The locale's general date form (date, blank, time; or the date alone) compiled to a small matcher over bytes:
// millions of log lines would be far too slow through QLocale's general parser. Forms with day names or eras fall
// back to it.
class DateMatcher {
public:
    DateMatcher();

    // Names the date form it was built for, so an image read with another form can be told apart.
    QString signature() const { return m_signature; }
    // The name of the desktop's date form now, without building a matcher for it.
    static QString currentSignature();
    // NullKey when the text is not a valid moment in that form.
    DateKey parse(const char* begin, const char* end) const;

private:
    enum class Kind { Day, Month, MonthName, Year, Hour, Hour12, Minute, Second, AmPm, Literal };
    struct Token {
        Kind kind;
        QByteArray literal;
    };
    struct Parts {
        int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        int pm = -1; // -1 no marker, 0 AM, 1 PM
    };

    bool compile(const QString& format, std::vector<Token>* tokens);
    bool match(const std::vector<Token>& tokens, const char*& p, const char* end, Parts& parts) const;
    bool matchAmPm(const char*& p, const char* end, Parts& parts) const;
    int matchMonthName(const char*& p, const char* end) const;
    static DateKey parseSlow(const char* begin, const char* end);

    QString m_signature;
    bool m_usable = false;
    std::vector<Token> m_date;
    std::vector<Token> m_time;
    std::vector<QByteArray> m_monthNames;
    QByteArray m_am;
    QByteArray m_pm;
};

} // namespace TextSql
