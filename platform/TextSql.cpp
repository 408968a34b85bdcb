#include "platform/TextSql.h"

#include "platform/GeneralDate.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <sqlite3.h>
#include <sys/stat.h>

#include <cctype>
#include <chrono>
#include <cstring>
#include <map>
#include <vector>

namespace TextSql {

namespace {

constexpr const char* IsoFormat = "yyyy-MM-dd HH:mm:ss";

QString typeName(ColumnType type)
{
    switch (type) {
    case ColumnType::Integer:
        return QStringLiteral("Integer");
    case ColumnType::DateTime:
        return QStringLiteral("DateTime");
    case ColumnType::Text:
        break;
    }
    return QStringLiteral("Text");
}

QString sqlName(const QString& name)
{
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

// Writes "yyyy-MM-dd HH:mm:ss" and a terminator; every part is already range-checked.
void writeIso(char* out, int year, int month, int day, int hour, int minute, int second)
{
    const auto put = [](char* at, int value, int width) {
        for (int i = width - 1; i >= 0; --i, value /= 10)
            at[i] = static_cast<char>('0' + value % 10);
    };
    put(out, year, 4);
    out[4] = '-';
    put(out + 5, month, 2);
    out[7] = '-';
    put(out + 8, day, 2);
    out[10] = ' ';
    put(out + 11, hour, 2);
    out[13] = ':';
    put(out + 14, minute, 2);
    out[16] = ':';
    put(out + 17, second, 2);
    out[19] = '\0';
}

// ---- general date form, read fast -------------------------------------------------------------------------

// The locale's date and time forms compiled to a small matcher over bytes: tens of thousands of log lines a
// second would be far too slow through QLocale's general parser. Forms with month or day names fall back to it.
class DateMatcher {
public:
    DateMatcher()
    {
        const QLocale locale = QLocale::system();
        m_signature = GeneralDate::dateFormat(locale) + u'|' + GeneralDate::timeFormat(locale);
        m_usable = compile(GeneralDate::dateFormat(locale), &m_date, &m_monthNames) &&
                   compile(GeneralDate::timeFormat(locale), &m_time, &m_monthNames);
        m_am = locale.amText().toUpper().toUtf8();
        m_pm = locale.pmText().toUpper().toUtf8();
    }

    QString signature() const { return m_signature; }

    // Writes "yyyy-MM-dd HH:mm:ss" into out (20 bytes with the terminator); false when the text does not fit.
    bool parse(const char* begin, const char* end, char* out) const
    {
        while (begin < end && (*begin == ' ' || *begin == '\t'))
            ++begin;
        while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r'))
            --end;
        if (!m_usable)
            return parseSlow(begin, end, out);
        Parts parts;
        const char* p = begin;
        if (!match(m_date, p, end, parts))
            return false;
        if (p != end) {
            if (*p != ' ')
                return false;
            while (p < end && *p == ' ')
                ++p;
            if (!match(m_time, p, end, parts) || p != end)
                return false;
        }
        int hour = parts.hour;
        if (parts.pm == 0 && hour == 12)
            hour = 0;
        else if (parts.pm == 1 && hour < 12)
            hour += 12;
        if (!QDate::isValid(parts.year, parts.month, parts.day) || hour > 23 || parts.minute > 59 || parts.second > 59)
            return false;
        writeIso(out, parts.year, parts.month, parts.day, hour, parts.minute, parts.second);
        return true;
    }

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

    static bool compile(const QString& format, std::vector<Token>* tokens, std::vector<QByteArray>* names)
    {
        for (qsizetype i = 0; i < format.size();) {
            const QChar c = format.at(i);
            qsizetype run = 1;
            while (i + run < format.size() && format.at(i + run) == c)
                ++run;
            const char letter = c.toLatin1();
            if (c == u'\'') {
                const qsizetype close = format.indexOf(u'\'', i + 1);
                if (close < 0)
                    return false;
                tokens->push_back({Kind::Literal, format.mid(i + 1, close - i - 1).toUtf8()});
                i = close + 1;
                continue;
            }
            Kind kind = Kind::Literal;
            switch (letter) {
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
                    return false; // a name, a zone or an era: the slow path knows them
                break;
            }
            if (kind == Kind::Day && run > 2)
                return false; // day names: the slow path knows them
            if (kind == Kind::Month && run > 2) {
                kind = Kind::MonthName;
                names->clear();
                for (int month = 1; month <= 12; ++month)
                    names->push_back(QLocale::system()
                                         .monthName(month, run == 3 ? QLocale::ShortFormat : QLocale::LongFormat)
                                         .toUtf8());
            }
            if (kind == Kind::Literal)
                tokens->push_back({kind, QString(run, c).toUtf8()});
            else
                tokens->push_back({kind, {}});
            i += run;
        }
        return true;
    }

    bool match(const std::vector<Token>& tokens, const char*& p, const char* end, Parts& parts) const
    {
        for (const Token& token : tokens) {
            if (token.kind == Kind::Literal) {
                const auto n = static_cast<std::size_t>(token.literal.size());
                if (static_cast<std::size_t>(end - p) < n || std::memcmp(p, token.literal.constData(), n) != 0)
                    return false;
                p += n;
                continue;
            }
            if (token.kind == Kind::MonthName) {
                // The longest name that fits wins, so "June" is not read as a shorter prefix of another name.
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
                if (best == 0)
                    return false;
                parts.month = best;
                p += bestLength;
                continue;
            }
            if (token.kind == Kind::AmPm) {
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
                } else if (fits(m_pm)) {
                    parts.pm = 1;
                    p += m_pm.size();
                } else {
                    return false;
                }
                continue;
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

    static bool parseSlow(const char* begin, const char* end, char* out)
    {
        const QDateTime moment = GeneralDate::fromText(QString::fromUtf8(begin, static_cast<qsizetype>(end - begin)));
        if (!moment.isValid())
            return false;
        const QByteArray text = moment.toString(QLatin1String(IsoFormat)).toLatin1();
        if (text.size() != 19)
            return false;
        std::memcpy(out, text.constData(), 20);
        return true;
    }

    QString m_signature;
    bool m_usable = false;
    std::vector<Token> m_date;
    std::vector<Token> m_time;
    std::vector<QByteArray> m_monthNames;
    QByteArray m_am;
    QByteArray m_pm;
};

// ---- Format(date, code) --------------------------------------------------------------------------------------

// The classic date codes: y/yy/yyyy, q, m/mm/mmm/mmmm (month, or minute right after an hour), d/dd/ddd/dddd,
// h/hh, n/nn, s/ss, AM/PM and am/pm; anything else is copied.
QString formatDate(const QDateTime& moment, const QString& code)
{
    const QString lower = code.toLower();
    if (lower == QLatin1String("general date"))
        return GeneralDate::toText(moment);
    if (lower == QLatin1String("short date"))
        return QLocale::system().toString(moment.date(), GeneralDate::dateFormat());
    if (lower == QLatin1String("long time"))
        return QLocale::system().toString(moment.time(), GeneralDate::timeFormat());
    const QLocale locale = QLocale::system();
    QString out;
    bool afterHour = false;
    for (qsizetype i = 0; i < code.size();) {
        const QChar c = code.at(i).toLower();
        qsizetype run = 1;
        while (i + run < code.size() && code.at(i + run).toLower() == c)
            ++run;
        const auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
        if (code.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            const bool pm = moment.time().hour() >= 12;
            const QString word = pm ? QStringLiteral("PM") : QStringLiteral("AM");
            out += code.at(i).isUpper() ? word : word.toLower();
            i += 5;
            continue;
        }
        switch (c.toLatin1()) {
        case 'y':
            out += run >= 3   ? QString::number(moment.date().year())
                   : run == 2 ? two(moment.date().year() % 100)
                              : QString::number(moment.date().dayOfYear());
            break;
        case 'q':
            out += QString::number((moment.date().month() - 1) / 3 + 1);
            break;
        case 'm':
            if (afterHour && run <= 2)
                out += run == 2 ? two(moment.time().minute()) : QString::number(moment.time().minute());
            else if (run >= 4)
                out += locale.monthName(moment.date().month());
            else if (run == 3)
                out += locale.monthName(moment.date().month(), QLocale::ShortFormat);
            else
                out += run == 2 ? two(moment.date().month()) : QString::number(moment.date().month());
            break;
        case 'd':
            if (run >= 4)
                out += locale.dayName(moment.date().dayOfWeek());
            else if (run == 3)
                out += locale.dayName(moment.date().dayOfWeek(), QLocale::ShortFormat);
            else
                out += run == 2 ? two(moment.date().day()) : QString::number(moment.date().day());
            break;
        case 'h':
            out += run >= 2 ? two(moment.time().hour()) : QString::number(moment.time().hour());
            break;
        case 'n':
            out += run >= 2 ? two(moment.time().minute()) : QString::number(moment.time().minute());
            break;
        case 's':
            out += run >= 2 ? two(moment.time().second()) : QString::number(moment.time().second());
            break;
        default:
            out += code.mid(i, run);
            break;
        }
        if (c == u'h')
            afterHour = true;
        else if (c.isLetter())
            afterHour = false;
        i += run;
    }
    return out;
}

void sqlFormat(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    if (argc != 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const QDateTime moment = QDateTime::fromString(QString::fromUtf8(text), QLatin1String(IsoFormat));
    const auto* code = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    if (!moment.isValid()) {
        sqlite3_result_null(context);
        return;
    }
    const QByteArray result = formatDate(moment, QString::fromUtf8(code ? code : "")).toUtf8();
    sqlite3_result_text(context, result.constData(), static_cast<int>(result.size()), SQLITE_TRANSIENT);
}

// ---- the cache of parsed table images --------------------------------------------------------------------------

struct TableState {
    QString signature; // columns and date form: a change rebuilds the image
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 consumed = 0;            // bytes up to the end of the last complete line
    QByteArray probe;               // the bytes just before `consumed`, to tell growth from replacement
    QByteArray head;                // the first bytes of the file, for the same reason
    sqlite3_int64 lastComplete = 0; // rowid of the last complete line; later rows came from a partial line
};

struct FolderCache {
    sqlite3* db = nullptr;
    std::map<QString, TableState> tables; // by upper-cased file name
    quint64 lastUse = 0;
    ~FolderCache()
    {
        if (db)
            sqlite3_close(db);
    }
};

std::map<QString, std::unique_ptr<FolderCache>>& caches()
{
    static std::map<QString, std::unique_ptr<FolderCache>> all;
    return all;
}

quint64 useCounter = 0;

bool exec(sqlite3* db, const QString& sql, QString* error)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error)
        *error = QString::fromUtf8(message ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    return false;
}

FolderCache* folderCache(const QString& folder, QString* error)
{
    auto& all = caches();
    auto it = all.find(folder);
    if (it == all.end()) {
        // Only a few work folders are ever live at once; the oldest image goes so memory stays bounded.
        while (all.size() >= 2) {
            auto oldest = all.begin();
            for (auto i = all.begin(); i != all.end(); ++i)
                if (i->second->lastUse < oldest->second->lastUse)
                    oldest = i;
            all.erase(oldest);
        }
        auto cache = std::make_unique<FolderCache>();
        if (sqlite3_open_v2(":memory:", &cache->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY, nullptr) != SQLITE_OK) {
            if (error)
                *error = QStringLiteral("cannot open the SQL engine");
            return nullptr;
        }
        sqlite3_create_function(cache->db, "Format", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, sqlFormat, nullptr,
                                nullptr);
        exec(cache->db, QStringLiteral("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF"), nullptr);
        it = all.emplace(folder, std::move(cache)).first;
    }
    it->second->lastUse = ++useCounter;
    return it->second.get();
}

QString descriptionSignature(const TableDescription& table, const DateMatcher& dates)
{
    QString text = dates.signature();
    for (const Column& column : table.columns)
        text += u';' + column.name + u':' + typeName(column.type);
    return text;
}

// Parses the lines of [begin, end) into the table. A last line without its line end is still being written:
// it is read too, but remembered as partial so a later call reads it again once complete.
bool loadLines(sqlite3* db, const TableDescription& table, const DateMatcher& dates, const char* data, qint64 offset,
               qint64 size, TableState& state, QString* error)
{
    const QString insert =
        QStringLiteral("INSERT INTO %1 VALUES (%2)")
            .arg(sqlName(table.fileName), QStringLiteral("?,").repeated(table.columns.size()).chopped(1));
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, insert.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    exec(db, QStringLiteral("BEGIN"), nullptr);
    const int columnCount = static_cast<int>(table.columns.size());
    std::vector<ColumnType> types;
    for (const Column& column : table.columns)
        types.push_back(column.type);
    char iso[20];
    const char* p = data + offset;
    const char* const end = data + size;
    bool ok = true;
    while (p < end) {
        const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const bool complete = lineEnd != nullptr;
        if (!lineEnd)
            lineEnd = end;
        const char* contentEnd = lineEnd;
        if (contentEnd > p && contentEnd[-1] == '\r')
            --contentEnd;
        if (contentEnd > p) { // blank lines are no rows
            const char* field = p;
            for (int c = 0; c < columnCount; ++c) {
                const int index = c + 1;
                if (!field) {
                    sqlite3_bind_null(stmt, index);
                    continue;
                }
                const char* fieldEnd =
                    static_cast<const char*>(std::memchr(field, '\t', static_cast<std::size_t>(contentEnd - field)));
                const char* next = fieldEnd ? fieldEnd + 1 : nullptr;
                if (!fieldEnd)
                    fieldEnd = contentEnd;
                switch (types[static_cast<std::size_t>(c)]) {
                case ColumnType::DateTime:
                    if (dates.parse(field, fieldEnd, iso))
                        sqlite3_bind_text(stmt, index, iso, 19, SQLITE_TRANSIENT);
                    else
                        sqlite3_bind_null(stmt, index);
                    break;
                case ColumnType::Integer: {
                    const char* q = field;
                    while (q < fieldEnd && *q == ' ')
                        ++q;
                    bool negative = false;
                    if (q < fieldEnd && (*q == '-' || *q == '+'))
                        negative = *q++ == '-';
                    qint64 value = 0;
                    int digits = 0;
                    while (q < fieldEnd && *q >= '0' && *q <= '9' && digits < 18) {
                        value = value * 10 + (*q++ - '0');
                        ++digits;
                    }
                    while (q < fieldEnd && *q == ' ')
                        ++q;
                    if (digits > 0 && q == fieldEnd)
                        sqlite3_bind_int64(stmt, index, negative ? -value : value);
                    else
                        sqlite3_bind_null(stmt, index);
                    break;
                }
                case ColumnType::Text:
                    sqlite3_bind_text(stmt, index, field, static_cast<int>(fieldEnd - field), SQLITE_STATIC);
                    break;
                }
                field = next;
            }
            if (sqlite3_step(stmt) != SQLITE_DONE) {
                ok = false;
                if (error)
                    *error = QString::fromUtf8(sqlite3_errmsg(db));
                break;
            }
            sqlite3_reset(stmt);
        }
        if (complete) {
            p = lineEnd + 1;
            state.consumed = p - data;
            state.lastComplete = sqlite3_last_insert_rowid(db);
        } else {
            p = end;
        }
    }
    sqlite3_finalize(stmt);
    exec(db, QStringLiteral("COMMIT"), nullptr);
    return ok;
}

bool refreshTable(FolderCache& cache, const QString& folder, const TableDescription& table, QString* error)
{
    const DateMatcher dates;
    const QString key = table.fileName.toUpper();
    const QString signature = descriptionSignature(table, dates);
    const QString path = QDir(folder).filePath(table.fileName);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("table file %1 cannot be read").arg(table.fileName);
        return false;
    }
    struct stat info {};
    if (::fstat(file.handle(), &info) != 0) {
        if (error)
            *error = QStringLiteral("table file %1 cannot be read").arg(table.fileName);
        return false;
    }
    const qint64 size = info.st_size;
    const qint64 modified = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    TableState& state = cache.tables[key];
    const bool known = state.signature == signature && state.size >= 0;

    const uchar* data = size > 0 ? file.map(0, size) : nullptr;
    QByteArray readBack;
    if (size > 0 && !data) {
        readBack = file.readAll();
        data = reinterpret_cast<const uchar*>(readBack.constData());
    }
    const char* bytes = reinterpret_cast<const char*>(data);
    const qint64 have = readBack.isEmpty() ? size : readBack.size();

    // The earlier image still describes the start of the file when the bytes at its head and just before the
    // end of its last complete line are unchanged; then the file has only grown (or not changed at all).
    const auto matches = [&](qint64 at, const QByteArray& probe) {
        if (probe.isEmpty())
            return at >= 0; // nothing to compare, and an empty file maps to no memory at all
        return at >= 0 && at + probe.size() <= have &&
               std::memcmp(bytes + at, probe.constData(), static_cast<std::size_t>(probe.size())) == 0;
    };
    const bool grew = known && have >= state.consumed && matches(0, state.head) &&
                      matches(state.consumed - state.probe.size(), state.probe);
    if (grew && have == state.size && modified == state.modifiedNs)
        return true;
    const QString name = sqlName(table.fileName);
    if (grew) {
        // The earlier image is still a prefix: only the row of a line that was partial is read again.
        exec(cache.db, QStringLiteral("DELETE FROM %1 WHERE rowid > %2").arg(name).arg(state.lastComplete), nullptr);
    } else {
        exec(cache.db, QStringLiteral("DROP TABLE IF EXISTS %1").arg(name), nullptr);
        QStringList columns;
        for (const Column& column : table.columns)
            columns << sqlName(column.name) + u' ' +
                           (column.type == ColumnType::Integer    ? QStringLiteral("INTEGER")
                            : column.type == ColumnType::DateTime ? QStringLiteral("DATETIME")
                                                                  : QStringLiteral("TEXT"));
        if (!exec(cache.db, QStringLiteral("CREATE TABLE %1 (%2)").arg(name, columns.join(u',')), error)) {
            cache.tables.erase(key);
            return false;
        }
        state = TableState{};
        state.signature = signature;
    }
    const qint64 from = grew ? state.consumed : 0;
    if (!loadLines(cache.db, table, dates, bytes, from, have, state, error)) {
        cache.tables.erase(key);
        exec(cache.db, QStringLiteral("DROP TABLE IF EXISTS %1").arg(name), nullptr);
        return false;
    }
    if (!grew) {
        for (const Column& column : table.columns)
            if (column.type == ColumnType::DateTime)
                exec(cache.db,
                     QStringLiteral("CREATE INDEX %1 ON %2(%3)")
                         .arg(sqlName(table.fileName + u'.' + column.name), name, sqlName(column.name)),
                     nullptr);
    }
    state.size = have;
    state.modifiedNs = modified;
    const qint64 probeLength = std::min<qint64>(state.consumed, 256);
    state.probe = QByteArray(bytes + state.consumed - probeLength, static_cast<qsizetype>(probeLength));
    state.head = QByteArray(bytes, static_cast<qsizetype>(std::min<qint64>(state.consumed, 256)));
    return true;
}

bool readDescription(const QString& folder, QList<TableDescription>* tables, QString* error)
{
    QFile file(QDir(folder).filePath(ColumnsFileName));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("column description %1 is missing").arg(ColumnsFileName);
        return false;
    }
    if (!parseDescription(QString::fromUtf8(file.read(1 << 20)), tables)) {
        if (error)
            *error = QStringLiteral("column description %1 is malformed").arg(ColumnsFileName);
        return false;
    }
    return true;
}

QVariant columnValue(sqlite3_stmt* stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, column));
    default:
        break;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    const int length = sqlite3_column_bytes(stmt, column);
    const QString value = QString::fromUtf8(text, length);
    const char* declared = sqlite3_column_decltype(stmt, column);
    const bool dateColumn = declared && std::strcmp(declared, "DATETIME") == 0;
    // Min(Data) and Max(Data) carry no declared type; the stored form is distinctive enough to recognise.
    static const QRegularExpression stored(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
    if (dateColumn || (!declared && length == 19 && stored.match(value).hasMatch())) {
        const QDateTime moment = QDateTime::fromString(value, QLatin1String(IsoFormat));
        if (moment.isValid())
            return moment;
    }
    return value;
}

} // namespace

QString describe(const QList<TableDescription>& tables)
{
    QString text;
    for (const TableDescription& table : tables) {
        text += u'[' + table.fileName + QStringLiteral("]\r\nFormat=TabDelimited\r\nColNameHeader=False\r\n");
        for (qsizetype i = 0; i < table.columns.size(); ++i)
            text += QStringLiteral("Col%1=%2 %3\r\n")
                        .arg(i + 1)
                        .arg(table.columns[i].name, typeName(table.columns[i].type));
    }
    return text;
}

bool parseDescription(const QString& text, QList<TableDescription>* tables)
{
    tables->clear();
    static const QRegularExpression colLine(QStringLiteral("^col(\\d+)\\s*=\\s*(\\S+)\\s+(\\S+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    for (QString line : text.split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            tables->append({line.mid(1, line.size() - 2).trimmed(), {}});
            continue;
        }
        if (tables->isEmpty())
            return false;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            return false;
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("format")) {
            if (value.compare(QLatin1String("TabDelimited"), Qt::CaseInsensitive) != 0)
                return false;
        } else if (key == QLatin1String("colnameheader")) {
            if (value.compare(QLatin1String("False"), Qt::CaseInsensitive) != 0)
                return false;
        } else if (const auto m = colLine.match(line); m.hasMatch()) {
            auto& columns = tables->last().columns;
            if (m.captured(1).toInt() != columns.size() + 1)
                return false;
            const QString type = m.captured(3).toLower();
            ColumnType columnType = ColumnType::Text;
            if (type == QLatin1String("integer") || type == QLatin1String("long") || type == QLatin1String("short"))
                columnType = ColumnType::Integer;
            else if (type == QLatin1String("datetime") || type == QLatin1String("date"))
                columnType = ColumnType::DateTime;
            else if (type != QLatin1String("text") && type != QLatin1String("char"))
                return false;
            columns.append({m.captured(2), columnType});
        }
    }
    if (tables->isEmpty())
        return false;
    for (const TableDescription& table : *tables)
        if (table.fileName.isEmpty() || table.columns.isEmpty())
            return false;
    return true;
}

QVariant RecordSet::Fields(const QString& name) const
{
    if (EOF_())
        return QVariant(QMetaType(QMetaType::UnknownType), nullptr);
    for (qsizetype i = 0; i < m_names.size(); ++i)
        if (m_names[i].compare(name, Qt::CaseInsensitive) == 0)
            return m_rows[m_row][i];
    return QVariant(QMetaType(QMetaType::UnknownType), nullptr);
}

Connection::Connection() = default;
Connection::~Connection() = default;

bool Connection::Open(const QString& connectionString, QString* error)
{
    static const QRegularExpression dbq(QStringLiteral("(?:^|;)\\s*DBQ\\s*=\\s*([^;]*)"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto m = dbq.match(connectionString);
    const QString folder = m.hasMatch() ? m.captured(1).trimmed() : QString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        if (error)
            *error = QStringLiteral("data source folder not found");
        return false;
    }
    m_folder = QFileInfo(folder).absoluteFilePath();
    return true;
}

void Connection::Close()
{
    m_folder.clear();
}

QString translate(const QString& sql)
{
    static const QRegularExpression literal(
        QStringLiteral("^#\\s*(\\d{1,2})/(\\d{1,2})/(\\d{4})(?:\\s+(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?)?\\s*#"));
    QString out;
    out.reserve(sql.size() + 16);
    for (qsizetype i = 0; i < sql.size();) {
        const QChar c = sql.at(i);
        if (c == u'\'' || c == u'[' || c == u'"') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            qsizetype end = sql.indexOf(close, i + 1);
            end = end < 0 ? sql.size() : end + 1;
            out += sql.mid(i, end - i);
            i = end;
            continue;
        }
        if (c == u'#') {
            const auto m = literal.match(QStringView(sql).mid(i));
            if (m.hasMatch()) {
                const QDate date(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
                const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
                if (date.isValid() && time.isValid()) {
                    out += u'\'' + QDateTime(date, time).toString(QLatin1String(IsoFormat)) + u'\'';
                    i += m.capturedLength(0);
                    continue;
                }
            }
        }
        out += c;
        ++i;
    }
    return out;
}

QString parseGeneralDate(const QByteArray& text)
{
    const DateMatcher dates;
    char iso[20];
    if (!dates.parse(text.constData(), text.constData() + text.size(), iso))
        return {};
    return QString::fromLatin1(iso, 19);
}

void dropCache()
{
    caches().clear();
}

std::unique_ptr<RecordSet> Connection::Execute(const QString& sql, QString* error)
{
    if (!isOpen()) {
        if (error)
            *error = QStringLiteral("connection is closed");
        return nullptr;
    }
    QList<TableDescription> tables;
    if (!readDescription(m_folder, &tables, error))
        return nullptr;
    FolderCache* cache = folderCache(m_folder, error);
    if (!cache)
        return nullptr;
    for (const TableDescription& table : tables) {
        if (!sql.contains(u'[' + table.fileName + u']', Qt::CaseInsensitive) &&
            !sql.contains(u'"' + table.fileName + u'"', Qt::CaseInsensitive))
            continue;
        if (!refreshTable(*cache, m_folder, table, error))
            return nullptr;
    }
    sqlite3_stmt* stmt = nullptr;
    const QByteArray text = translate(sql).toUtf8();
    if (sqlite3_prepare_v2(cache->db, text.constData(), static_cast<int>(text.size()), &stmt, nullptr) != SQLITE_OK ||
        !stmt) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(cache->db));
        sqlite3_finalize(stmt);
        return nullptr;
    }
    // Only reading is allowed: the data source is opened read-only.
    if (!sqlite3_stmt_readonly(stmt)) {
        sqlite3_finalize(stmt);
        if (error)
            *error = QStringLiteral("the data source is read-only");
        return nullptr;
    }
    auto result = std::make_unique<RecordSet>();
    const int columns = sqlite3_column_count(stmt);
    for (int c = 0; c < columns; ++c)
        result->m_names << QString::fromUtf8(sqlite3_column_name(stmt, c));
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        QList<QVariant> row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c)
            row.append(columnValue(stmt, c));
        result->m_rows.append(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(cache->db));
        sqlite3_finalize(stmt);
        return nullptr;
    }
    sqlite3_finalize(stmt);
    return result;
}

} // namespace TextSql
