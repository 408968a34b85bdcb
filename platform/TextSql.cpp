#include "platform/TextSql.h"

#include "platform/DateMatcher.h"
#include "platform/TableImage.h"
#include "platform/TableModule.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace TextSql {

namespace {

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

// ---- the cache of table images ---------------------------------------------------------------------------

struct FolderCache {
    TableImages images; // declared first: the tables of db refer to them
    sqlite3* db = nullptr;
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
        if (sqlite3_open_v2(":memory:", &cache->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY, nullptr) != SQLITE_OK ||
            !installTableModule(cache->db, &cache->images, error)) {
            if (error && error->isEmpty())
                *error = QStringLiteral("cannot open the SQL engine");
            return nullptr;
        }
        it = all.emplace(folder, std::move(cache)).first;
    }
    it->second->lastUse = ++useCounter;
    return it->second.get();
}

bool sameColumns(const TableDescription& a, const TableDescription& b)
{
    if (a.fileName != b.fileName || a.columns.size() != b.columns.size())
        return false;
    for (qsizetype i = 0; i < a.columns.size(); ++i)
        if (a.columns[i].name != b.columns[i].name || a.columns[i].type != b.columns[i].type)
            return false;
    return true;
}

// A change of the columns or of the desktop's date form needs a new image and a new declaration.
TableImage* imageFor(FolderCache& cache, const TableDescription& table, QString* error)
{
    const QString key = table.fileName.toUpper();
    auto found = cache.images.find(key);
    if (found != cache.images.end() && (!sameColumns(found->second->description(), table) ||
                                        found->second->dateSignature() != DateMatcher::currentSignature())) {
        dropTable(cache.db, found->second->description().fileName);
        cache.images.erase(found);
        found = cache.images.end();
    }
    if (found != cache.images.end())
        return found->second.get();
    auto image = std::make_unique<TableImage>(table);
    TableImage* raw = image.get();
    cache.images.emplace(key, std::move(image));
    if (!createTable(cache.db, table.fileName, error)) {
        cache.images.erase(key);
        return nullptr;
    }
    return raw;
}

bool readDescription(const QString& folder, QList<TableDescription>* tables, QString* error)
{
    QFile file(QDir(folder).filePath(ColumnsFileName));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("column description %1 is missing").arg(ColumnsFileName);
        return false;
    }
    // A column description is a few lines; a file far larger than that is not one.
    if (!parseDescription(QString::fromUtf8(file.read(std::clamp<qint64>(file.size(), 0, 1 << 20))), tables)) {
        if (error)
            *error = QStringLiteral("column description %1 is malformed").arg(ColumnsFileName);
        return false;
    }
    return true;
}

// Text in the stored date form is a moment: a date column's values, and Min(Data) or Max(Data), which carry no
// declared type.
QVariant textValue(const char* text, int length, bool dateColumn)
{
    DateKey key = NullKey;
    if ((dateColumn || length == 19) && readStoredDate(text, length, &key))
        return toDateTime(key);
    return QString::fromUtf8(text, length);
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
    const char* declared = sqlite3_column_decltype(stmt, column);
    return textValue(text, sqlite3_column_bytes(stmt, column), declared && std::strcmp(declared, "DATETIME") == 0);
}

// A query of nothing but Count, Min and Max over one whole table is answered from the image: SQLite would scan
// every row for it, and the log summary asks exactly that on every call.
class AggregateQuery {
public:
    bool parse(const QString& sql)
    {
        static const QRegularExpression whole(
            QStringLiteral(R"re(^\s*select\s+(.+?)\s+from\s+(?:\[([^\]]+)\]|"([^"]+)")\s*;?\s*$)re"),
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
        static const QRegularExpression item(
            QStringLiteral(
                R"re(^\s*((count|min|max)\s*\(\s*(\*|\[([^\]]+)\]|"([^"]+)"|(\w+))\s*\))(?:\s+as\s+(?:\[([^\]]+)\]|"([^"]+)"|(\w+)))?\s*$)re"),
            QRegularExpression::CaseInsensitiveOption);
        const auto m = whole.match(sql);
        if (!m.hasMatch())
            return false;
        m_table = m.captured(2) + m.captured(3);
        for (const QString& part : m.captured(1).split(u',')) {
            const auto i = item.match(part);
            if (!i.hasMatch())
                return false;
            Item entry;
            entry.function = i.captured(2).toLower();
            entry.column = i.captured(4) + i.captured(5) + i.captured(6);
            if (i.captured(3) == QLatin1String("*") && entry.function != QLatin1String("count"))
                return false;
            const QString alias = i.captured(7) + i.captured(8) + i.captured(9);
            entry.name = alias.isEmpty() ? i.captured(1) : alias;
            m_items.append(entry);
        }
        return true;
    }
    QString table() const { return m_table; }

    // False when a column is unknown: SQLite then gives its own error.
    bool answer(const TableImage& image, QStringList* names, QList<QVariant>* row) const
    {
        for (const Item& entry : m_items) {
            int column = -1;
            const QList<Column>& columns = image.description().columns;
            for (qsizetype c = 0; c < columns.size() && !entry.column.isEmpty(); ++c)
                if (columns[c].name.compare(entry.column, Qt::CaseInsensitive) == 0)
                    column = static_cast<int>(c);
            if (!entry.column.isEmpty() && column < 0)
                return false;
            names->append(entry.name);
            row->append(value(image, entry.function, column));
        }
        return true;
    }

private:
    struct Item {
        QString function;
        QString column; // empty for *
        QString name;
    };

    static QVariant value(const TableImage& image, const QString& function, int column)
    {
        const qsizetype rows = image.rowCount();
        if (column < 0)
            return QVariant(static_cast<qlonglong>(rows));
        const ColumnType type = image.description().columns[column].type;
        const bool count = function == QLatin1String("count");
        const bool wantMax = function == QLatin1String("max");
        if (column == image.orderColumn()) {
            if (count)
                return QVariant(static_cast<qlonglong>(rows - image.nullRows()));
            if (rows == image.nullRows())
                return {};
            return toDateTime(image.number(column, image.rowAt(wantMax ? rows - 1 : image.nullRows())));
        }
        qlonglong present = 0;
        if (type == ColumnType::Text) {
            const std::string* best = nullptr;
            for (quint32 row = 0; row < rows; ++row)
                if (const std::string* text = image.text(column, row)) {
                    ++present;
                    if (!best || (wantMax ? *text > *best : *text < *best))
                        best = text;
                }
            if (count)
                return QVariant(present);
            return best ? textValue(best->data(), static_cast<int>(best->size()), false) : QVariant();
        }
        qint64 best = NullKey;
        for (quint32 row = 0; row < rows; ++row) {
            const qint64 v = image.number(column, row);
            if (v == NullKey)
                continue;
            ++present;
            if (best == NullKey || (wantMax ? v > best : v < best))
                best = v;
        }
        if (count)
            return QVariant(present);
        if (best == NullKey)
            return {};
        return type == ColumnType::DateTime ? QVariant(toDateTime(best)) : QVariant(static_cast<qlonglong>(best));
    }

    QString m_table;
    QList<Item> m_items;
};

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
                    char stored[20];
                    writeStoredDate(toDateKey(QDateTime(date, time)), stored);
                    out += u'\'' + QLatin1String(stored) + u'\'';
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
    const DateKey key = DateMatcher().parse(text.constData(), text.constData() + text.size());
    if (key == NullKey)
        return {};
    char stored[20];
    writeStoredDate(key, stored);
    return QString::fromLatin1(stored, 19);
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
    const QString text = translate(sql);
    AggregateQuery aggregate;
    const bool aggregateOnly = aggregate.parse(text);
    for (const TableDescription& table : tables) {
        if (!sql.contains(u'[' + table.fileName + u']', Qt::CaseInsensitive) &&
            !sql.contains(u'"' + table.fileName + u'"', Qt::CaseInsensitive))
            continue;
        TableImage* image = imageFor(*cache, table, error);
        if (!image || !image->refresh(QDir(m_folder).filePath(table.fileName), error))
            return nullptr;
        if (aggregateOnly && table.fileName.compare(aggregate.table(), Qt::CaseInsensitive) == 0) {
            auto result = std::make_unique<RecordSet>();
            QList<QVariant> row;
            if (aggregate.answer(*image, &result->m_names, &row)) {
                result->m_rows.append(row);
                return result;
            }
        }
    }
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = text.toUtf8();
    if (sqlite3_prepare_v2(cache->db, utf8.constData(), static_cast<int>(utf8.size()), &stmt, nullptr) != SQLITE_OK ||
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
