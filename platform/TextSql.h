#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

// A text-file SQL data source: a folder of tab-delimited table files without a header row, described by the
// column description file COLUMNS_FILE in that folder, answered by SQLite. The queries may use the dialect of
// the classic text driver: #m/d/yyyy h:n# date literals, Format(date, code), [bracketed] names.
//
// Column description (an INI-like text, one section per table file):
//   [ALL.TXT]
//   Format=TabDelimited
//   ColNameHeader=False
//   Col1=Data DateTime
//   Col2=Site Text
//   Col3=Ping Integer
// DateTime columns are read in the desktop's general date form (or the date alone); a text that does not fit is
// NULL. Integer columns that hold no whole number are NULL as well.
namespace TextSql {

inline const QString ColumnsFileName = QStringLiteral("schema.ini");

enum class ColumnType { Text, Integer, DateTime };

struct Column {
    QString name;
    ColumnType type = ColumnType::Text;
};

struct TableDescription {
    QString fileName;
    QList<Column> columns;
};

// The text of a column description for the given tables, in the form above.
QString describe(const QList<TableDescription>& tables);
// Reads a column description; false when it is malformed or names no table.
bool parseDescription(const QString& text, QList<TableDescription>* tables);

// A static, disconnected result: every row is fetched before it is handed out.
class RecordSet {
public:
    bool EOF_() const { return m_row >= m_rows.size(); }
    void MoveNext()
    {
        if (m_row < m_rows.size())
            ++m_row;
    }
    void MoveFirst() { m_row = 0; }
    qsizetype RecordCount() const { return m_rows.size(); }
    QStringList fieldNames() const { return m_names; }
    // The current row's field, compared without case; an invalid QVariant for an unknown field or at the end.
    // DateTime values come back as QDateTime, NULL as a null QVariant.
    QVariant Fields(const QString& name) const;

private:
    friend class Connection;
    QStringList m_names;
    QList<QList<QVariant>> m_rows;
    qsizetype m_row = 0;
};

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Takes the folder from "DBQ=<folder>;" in the connection string. Fails when the folder is missing.
    bool Open(const QString& connectionString, QString* error = nullptr);
    bool isOpen() const { return !m_folder.isEmpty(); }
    QString folder() const { return m_folder; }
    void Close();

    // Runs one query and returns all its rows, or null with the reason.
    std::unique_ptr<RecordSet> Execute(const QString& sql, QString* error = nullptr);

private:
    QString m_folder;
};

// The query text with the dialect rewritten for SQLite (exposed so its rules can be tested on their own).
QString translate(const QString& sql);

// The sortable key a DateTime column stores ("yyyy-MM-dd HH:mm:ss"), or an empty text.
QString parseGeneralDate(const QByteArray& text);

// Forgets every cached table image (tests use it to measure a cold start).
void dropCache();

} // namespace TextSql
