#include "platform/DateMatcher.h"

#include "platform/GeneralDate.h"

#include <QDate>
#include <QLocale>

#include <cctype>
#include <cstring>

namespace TextSql {

namespace {

void putDigits(char* at, int value, int width)
{
    for (int i = width - 1; i >= 0; --i, value /= 10)
        at[i] = static_cast<char>('0' + value % 10);
}

bool readDigits(const char* at, int width, int* value)
{
    int result = 0;
    for (int i = 0; i < width; ++i) {
        if (at[i] < '0' || at[i] > '9')
            return false;
        result = result * 10 + (at[i] - '0');
    }
    *value = result;
    return true;
}

} // namespace

void writeStoredDate(DateKey key, char* out)
{
    const DateParts parts = unpackDate(key);
    putDigits(out, parts.year, 4);
    putDigits(out + 5, parts.month, 2);
    putDigits(out + 8, parts.day, 2);
    putDigits(out + 11, parts.hour, 2);
    putDigits(out + 14, parts.minute, 2);
    putDigits(out + 17, parts.second, 2);
    out[4] = out[7] = '-';
    out[10] = ' ';
    out[13] = out[16] = ':';
    out[19] = '\0';
}

bool readStoredDate(const char* text, qsizetype length, DateKey* key)
{
    if (length != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' || text[16] != ':')
        return false;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!readDigits(text, 4, &y) || !readDigits(text + 5, 2, &mo) || !readDigits(text + 8, 2, &d) ||
        !readDigits(text + 11, 2, &h) || !readDigits(text + 14, 2, &mi) || !readDigits(text + 17, 2, &s))
        return false;
    if (!QDate::isValid(y, mo, d) || h > 23 || mi > 59 || s > 59)
        return false;
    *key = packDate(y, mo, d, h, mi, s);
    return true;
}

QDateTime toDateTime(DateKey key)
{
    if (key == NullKey)
        return {};
    const DateParts p = unpackDate(key);
    return QDateTime(QDate(p.year, p.month, p.day), QTime(p.hour, p.minute, p.second));
}

DateKey toDateKey(const QDateTime& moment)
{
    if (!moment.isValid() || moment.date().year() < 1 || moment.date().year() > 9999)
        return NullKey;
    const QDate date = moment.date();
    const QTime time = moment.time();
    return packDate(date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second());
}

QString DateMatcher::currentSignature()
{
    const QLocale locale = QLocale::system();
    return GeneralDate::dateFormat(locale) + u'|' + GeneralDate::timeFormat(locale);
}

DateMatcher::DateMatcher()
{
    const QLocale locale = QLocale::system();
    m_signature = currentSignature();
    m_usable = compile(GeneralDate::dateFormat(locale), &m_date) && compile(GeneralDate::timeFormat(locale), &m_time);
    m_am = locale.amText().toUpper().toUtf8();
    m_pm = locale.pmText().toUpper().toUtf8();
}

DateKey DateMatcher::parse(const char* begin, const char* end) const
{
    while (begin < end && (*begin == ' ' || *begin == '\t'))
        ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r'))
        --end;
    if (!m_usable)
        return parseSlow(begin, end);
    Parts parts;
    const char* p = begin;
    if (!match(m_date, p, end, parts))
        return NullKey;
    if (p != end) {
        if (*p != ' ')
            return NullKey;
        while (p < end && *p == ' ')
            ++p;
        if (!match(m_time, p, end, parts) || p != end)
            return NullKey;
    }
    int hour = parts.hour;
    if (parts.pm == 0 && hour == 12)
        hour = 0;
    else if (parts.pm == 1 && hour < 12)
        hour += 12;
    if (!QDate::isValid(parts.year, parts.month, parts.day) || hour > 23 || parts.minute > 59 || parts.second > 59)
        return NullKey;
    return packDate(parts.year, parts.month, parts.day, hour, parts.minute, parts.second);
}

bool DateMatcher::compile(const QString& format, std::vector<Token>* tokens)
{
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run) == c)
            ++run;
        if (c == u'\'') {
            const qsizetype close = format.indexOf(u'\'', i + 1);
            if (close < 0)
                return false;
            tokens->push_back({Kind::Literal, format.mid(i + 1, close - i - 1).toUtf8()});
            i = close + 1;
            continue;
        }
        Kind kind = Kind::Literal;
        switch (c.toLatin1()) {
        case 'd':
            kind = Kind::Day;
            break;
        case 'M':
            kind = Kind::Month;
            break;
        case 'y':
            kind = Kind::Year;
            break;
        case 'H':
            kind = Kind::Hour;
            break;
        case 'h':
            kind = Kind::Hour12;
            break;
        case 'm':
            kind = Kind::Minute;
            break;
        case 's':
            kind = Kind::Second;
            break;
        case 'A':
        case 'a':
            kind = Kind::AmPm;
            run = (i + 1 < format.size() && (format.at(i + 1) == u'P' || format.at(i + 1) == u'p')) ? 2 : 1;
            break;
        default:
            if (c.isLetter())
                return false; // a zone or an era: the slow path knows them
            break;
        }
        if (kind == Kind::Day && run > 2)
            return false; // day names: the slow path knows them
        if (kind == Kind::Month && run > 2) {
            kind = Kind::MonthName;
            m_monthNames.clear();
            for (int month = 1; month <= 12; ++month)
                m_monthNames.push_back(
                    QLocale::system().monthName(month, run == 3 ? QLocale::ShortFormat : QLocale::LongFormat).toUtf8());
        }
        if (kind == Kind::Literal)
            tokens->push_back({kind, QString(run, c).toUtf8()});
        else
            tokens->push_back({kind, {}});
        i += run;
    }
    return true;
}

int DateMatcher::matchMonthName(const char*& p, const char* end) const
{
    // The longest name that fits wins, so a name is never read as a shorter prefix of another.
    int best = 0;
    qsizetype bestLength = 0;
    for (std::size_t k = 0; k < m_monthNames.size(); ++k) {
        const QByteArray& name = m_monthNames[k];
        if (name.size() > bestLength && end - p >= name.size() &&
            std::memcmp(p, name.constData(), static_cast<std::size_t>(name.size())) == 0) {
            best = static_cast<int>(k) + 1;
            bestLength = name.size();
        }
    }
    p += bestLength;
    return best;
}

bool DateMatcher::matchAmPm(const char*& p, const char* end, Parts& parts) const
{
    const auto fits = [&](const QByteArray& word) {
        const auto n = static_cast<std::size_t>(word.size());
        if (n == 0 || static_cast<std::size_t>(end - p) < n)
            return false;
        for (std::size_t k = 0; k < n; ++k)
            if (std::toupper(static_cast<unsigned char>(p[k])) != static_cast<unsigned char>(word[k]))
                return false;
        return true;
    };
    if (fits(m_am)) {
        parts.pm = 0;
        p += m_am.size();
        return true;
    }
    if (fits(m_pm)) {
        parts.pm = 1;
        p += m_pm.size();
        return true;
    }
    return false;
}

bool DateMatcher::match(const std::vector<Token>& tokens, const char*& p, const char* end, Parts& parts) const
{
    for (const Token& token : tokens) {
        switch (token.kind) {
        case Kind::Literal: {
            const auto n = static_cast<std::size_t>(token.literal.size());
            if (static_cast<std::size_t>(end - p) < n || std::memcmp(p, token.literal.constData(), n) != 0)
                return false;
            p += n;
            continue;
        }
        case Kind::MonthName:
            parts.month = matchMonthName(p, end);
            if (parts.month == 0)
                return false;
            continue;
        case Kind::AmPm:
            if (!matchAmPm(p, end, parts))
                return false;
            continue;
        default:
            break;
        }
        const int maxDigits = token.kind == Kind::Year ? 4 : 2;
        int value = 0;
        int digits = 0;
        while (p < end && digits < maxDigits && *p >= '0' && *p <= '9') {
            value = value * 10 + (*p - '0');
            ++p;
            ++digits;
        }
        if (digits == 0 || (token.kind == Kind::Year && digits != 4))
            return false;
        switch (token.kind) {
        case Kind::Day:
            parts.day = value;
            break;
        case Kind::Month:
            parts.month = value;
            break;
        case Kind::Year:
            parts.year = value;
            break;
        case Kind::Hour:
        case Kind::Hour12:
            parts.hour = value;
            break;
        case Kind::Minute:
            parts.minute = value;
            break;
        case Kind::Second:
            parts.second = value;
            break;
        default:
            break;
        }
    }
    return true;
}

DateKey DateMatcher::parseSlow(const char* begin, const char* end)
{
    return toDateKey(GeneralDate::fromText(QString::fromUtf8(begin, static_cast<qsizetype>(end - begin))));
}

} // namespace TextSql
