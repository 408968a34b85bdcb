#include "platform/TableModule.h"

#include "platform/GeneralDate.h"
#include "platform/TableImage.h"

#include <QLocale>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace TextSql {

namespace {

QByteArray quotedName(const QString& name)
{
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return (u'"' + quoted + u'"').toUtf8();
}

struct Table {
    sqlite3_vtab base{};
    const TableImage* image = nullptr;
};

struct Cursor {
    sqlite3_vtab_cursor base{};
    const TableImage* image = nullptr;
    qsizetype first = 0; // positions in the image's order, [first, last)
    qsizetype last = 0;
    qsizetype position = 0;
    bool descending = false;
    char stored[20];
};

int connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** message)
{
    auto* images = static_cast<TableImages*>(aux);
    const auto found = argc >= 3 ? images->find(QString::fromUtf8(argv[2]).toUpper()) : images->end();
    if (found == images->end()) {
        *message = sqlite3_mprintf("no table file %s", argc >= 3 ? argv[2] : "");
        return SQLITE_ERROR;
    }
    QByteArray declaration = "CREATE TABLE x(";
    const QList<Column>& columns = found->second->description().columns;
    for (qsizetype c = 0; c < columns.size(); ++c) {
        if (c > 0)
            declaration += ',';
        declaration += quotedName(columns[c].name);
        declaration += columns[c].type == ColumnType::Integer    ? " INTEGER"
                       : columns[c].type == ColumnType::DateTime ? " DATETIME"
                                                                 : " TEXT";
    }
    declaration += ')';
    const int rc = sqlite3_declare_vtab(db, declaration.constData());
    if (rc != SQLITE_OK)
        return rc;
    auto* table = new Table;
    table->image = found->second.get();
    *out = &table->base;
    return SQLITE_OK;
}

int disconnect(sqlite3_vtab* vtab)
{
    delete reinterpret_cast<Table*>(vtab);
    return SQLITE_OK;
}

char opLetter(unsigned char op)
{
    switch (op) {
    case SQLITE_INDEX_CONSTRAINT_EQ:
        return '=';
    case SQLITE_INDEX_CONSTRAINT_GT:
        return '>';
    case SQLITE_INDEX_CONSTRAINT_GE:
        return 'G';
    case SQLITE_INDEX_CONSTRAINT_LT:
        return '<';
    case SQLITE_INDEX_CONSTRAINT_LE:
        return 'L';
    default:
        return 0;
    }
}

// Comparisons on the date column narrow the scan; SQLite still checks every row it gets (nothing is omitted), so
// a bound the scan cannot use costs time, never a row.
int bestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info)
{
    const TableImage* image = reinterpret_cast<Table*>(vtab)->image;
    const int order = image->orderColumn();
    std::string ops;
    int used = 0;
    for (int i = 0; i < info->nConstraint && order >= 0; ++i) {
        const auto& constraint = info->aConstraint[i];
        const char letter = opLetter(constraint.op);
        if (!constraint.usable || constraint.iColumn != order || letter == 0)
            continue;
        const char* collation = sqlite3_vtab_collation(info, i);
        if (collation && sqlite3_stricmp(collation, "BINARY") != 0)
            continue;
        ops.push_back(letter);
        info->aConstraintUsage[i].argvIndex = ++used;
        info->aConstraintUsage[i].omit = 0;
    }
    info->idxNum = 0;
    if (order >= 0 && info->nOrderBy == 1 && info->aOrderBy[0].iColumn == order) {
        info->orderByConsumed = 1;
        info->idxNum = info->aOrderBy[0].desc ? 1 : 0;
    }
    info->idxStr = sqlite3_mprintf("%s", ops.c_str());
    info->needToFreeIdxStr = 1;
    const double rows = static_cast<double>(image->rowCount()) + 1;
    info->estimatedRows = static_cast<sqlite3_int64>(used > 0 ? std::max(1.0, rows / 1000) : rows);
    info->estimatedCost = used > 0 ? std::log2(rows + 1) + static_cast<double>(info->estimatedRows) : rows;
    return SQLITE_OK;
}

int openCursor(sqlite3_vtab* vtab, sqlite3_vtab_cursor** out)
{
    auto* cursor = new Cursor;
    cursor->image = reinterpret_cast<Table*>(vtab)->image;
    *out = &cursor->base;
    return SQLITE_OK;
}

int closeCursor(sqlite3_vtab_cursor* base)
{
    delete reinterpret_cast<Cursor*>(base);
    return SQLITE_OK;
}

// A text bound that reads as a number is compared as a number under the column's numeric affinity, so the
// byte-wise search does not apply to it.
bool usableBound(sqlite3_value* value)
{
    if (sqlite3_value_type(value) != SQLITE_TEXT)
        return false;
    sqlite3_value* copy = sqlite3_value_dup(value);
    if (!copy)
        return false;
    const int numeric = sqlite3_value_numeric_type(copy);
    sqlite3_value_free(copy);
    return numeric == SQLITE_TEXT;
}

int filter(sqlite3_vtab_cursor* base, int idxNum, const char* idxStr, int argc, sqlite3_value** argv)
{
    auto* cursor = reinterpret_cast<Cursor*>(base);
    const TableImage* image = cursor->image;
    qsizetype first = 0;
    qsizetype last = image->rowCount();
    const std::string ops = idxStr ? idxStr : "";
    for (int k = 0; k < argc && k < static_cast<int>(ops.size()); ++k) {
        first = std::max(first, image->nullRows()); // a null moment satisfies no comparison
        if (!usableBound(argv[k]))
            continue;
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[k]));
        const qsizetype length = sqlite3_value_bytes(argv[k]);
        switch (ops[static_cast<std::size_t>(k)]) {
        case '=':
            first = std::max(first, image->lowerBound(text, length, false));
            last = std::min(last, image->lowerBound(text, length, true));
            break;
        case '>':
            first = std::max(first, image->lowerBound(text, length, true));
            break;
        case 'G':
            first = std::max(first, image->lowerBound(text, length, false));
            break;
        case '<':
            last = std::min(last, image->lowerBound(text, length, false));
            break;
        case 'L':
            last = std::min(last, image->lowerBound(text, length, true));
            break;
        default:
            break;
        }
    }
    cursor->first = first;
    cursor->last = std::max(first, last);
    cursor->descending = (idxNum & 1) != 0;
    cursor->position = cursor->descending ? cursor->last - 1 : cursor->first;
    return SQLITE_OK;
}

int next(sqlite3_vtab_cursor* base)
{
    auto* cursor = reinterpret_cast<Cursor*>(base);
    cursor->position += cursor->descending ? -1 : 1;
    return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor* base)
{
    const auto* cursor = reinterpret_cast<Cursor*>(base);
    return cursor->position < cursor->first || cursor->position >= cursor->last;
}

int column(sqlite3_vtab_cursor* base, sqlite3_context* context, int index)
{
    auto* cursor = reinterpret_cast<Cursor*>(base);
    const TableImage* image = cursor->image;
    const quint32 row = image->rowAt(cursor->position);
    switch (image->description().columns[index].type) {
    case ColumnType::DateTime: {
        const DateKey key = image->number(index, row);
        if (key == NullKey) {
            sqlite3_result_null(context);
        } else {
            writeStoredDate(key, cursor->stored);
            sqlite3_result_text(context, cursor->stored, 19, SQLITE_TRANSIENT);
        }
        break;
    }
    case ColumnType::Integer: {
        const qint64 value = image->number(index, row);
        if (value == NullKey)
            sqlite3_result_null(context);
        else
            sqlite3_result_int64(context, value);
        break;
    }
    case ColumnType::Text:
        if (const std::string* text = image->text(index, row))
            sqlite3_result_text(context, text->data(), static_cast<int>(text->size()), SQLITE_STATIC);
        else
            sqlite3_result_null(context);
        break;
    }
    return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor* base, sqlite3_int64* out)
{
    const auto* cursor = reinterpret_cast<Cursor*>(base);
    *out = cursor->image->rowAt(cursor->position);
    return SQLITE_OK;
}

sqlite3_module makeModule()
{
    sqlite3_module module{};
    module.xCreate = connect;
    module.xConnect = connect;
    module.xBestIndex = bestIndex;
    module.xDisconnect = disconnect;
    module.xDestroy = disconnect;
    module.xOpen = openCursor;
    module.xClose = closeCursor;
    module.xFilter = filter;
    module.xNext = next;
    module.xEof = eof;
    module.xColumn = column;
    module.xRowid = rowid;
    return module;
}

const sqlite3_module TableModule = makeModule();

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// The codes the log queries use are answered from the packed moment; the rest go through formatDate.
void sqlFormat(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    if (argc != 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    DateKey key = NullKey;
    if (!text || !readStoredDate(text, sqlite3_value_bytes(argv[0]), &key))
        key = toDateKey(GeneralDate::fromText(QString::fromUtf8(text ? text : "")));
    if (key == NullKey) {
        sqlite3_result_null(context);
        return;
    }
    const auto* codeText = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const QString code = QString::fromUtf8(codeText ? codeText : "");
    const DateParts part = unpackDate(key);
    QString result;
    if (code == QLatin1String("yyyy"))
        result = QString::number(part.year);
    else if (code == QLatin1String("mm"))
        result = twoDigits(part.month);
    else if (code == QLatin1String("dd"))
        result = twoDigits(part.day);
    else if (code == QLatin1String("h"))
        result = QString::number(part.hour);
    else if (code == QLatin1String("n"))
        result = QString::number(part.minute);
    else if (code == QLatin1String("s"))
        result = QString::number(part.second);
    else
        result = formatDate(toDateTime(key), code);
    const QByteArray bytes = result.toUtf8();
    sqlite3_result_text(context, bytes.constData(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

} // namespace

bool installTableModule(sqlite3* db, TableImages* images, QString* error)
{
    if (sqlite3_create_module(db, "textsql_table", &TableModule, images) != SQLITE_OK ||
        sqlite3_create_function(db, "Format", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, sqlFormat, nullptr,
                                nullptr) != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    return true;
}

bool createTable(sqlite3* db, const QString& fileName, QString* error)
{
    const QByteArray sql = "CREATE VIRTUAL TABLE temp." + quotedName(fileName) + " USING textsql_table";
    char* message = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error)
        *error = QString::fromUtf8(message ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    return false;
}

void dropTable(sqlite3* db, const QString& fileName)
{
    const QByteArray sql = "DROP TABLE IF EXISTS temp." + quotedName(fileName);
    sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
}

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

} // namespace TextSql
