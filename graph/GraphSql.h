#pragma once

// The database binding's texts: connection strings that name a Qt SQL driver, and the SELECT and UPDATE texts
// the control runs.

#include "GraphError.h"
#include "tvGraphGlobal.h"

#include <QString>
#include <QVariant>

#include <optional>

QT_BEGIN_NAMESPACE
class QSqlDatabase;
QT_END_NAMESPACE

namespace tvGraph {

class cData;
class cPoint;

/// What a connection string says. The text is a list of `Name=value` pairs separated by ";", names without
/// case: `Driver` (a Qt SQL driver: QSQLITE, QPSQL, QODBC, …; QSQLITE when absent), `Database` (the SQLite
/// file, the PostgreSQL database, or the ODBC DSN or driver connection string), `Host`, `Port`, `User`,
/// `Password` and `Options` (the driver's connect options). A value holding ";" or "}" is written in braces,
/// with "}" doubled inside: `Database={DRIVER={SQLite3};DATABASE=/tmp/a.db}`.
struct TVGRAPH_EXPORT ConnectionSettings {
    QString driver = QStringLiteral("QSQLITE");
    QString database;
    QString host;
    int port = -1; ///< -1: the driver's default
    QString user;
    QString password;
    QString options;

    bool operator==(const ConnectionSettings&) const = default;
};

/// Parses a connection string; fails with InvalidProcedureCall on an unknown name or a malformed pair.
TVGRAPH_EXPORT std::optional<ConnectionSettings> parseConnectionString(const QString& text,
                                                                       GraphError* error = nullptr);
/// The connection string of the given settings (only the values that are set).
TVGRAPH_EXPORT QString formatConnectionString(const ConnectionSettings& settings);
/// The connection string that reopens the same database as `db` (driver, database, host, port, user,
/// password, options).
TVGRAPH_EXPORT QString connectionStringFor(const QSqlDatabase& db);
/// Adds a Qt connection named `connectionName` for `text` and opens it. On failure the connection is left
/// added but closed, and `error` holds the driver's number and text.
TVGRAPH_EXPORT bool openConnection(const QString& text, const QString& connectionName, QSqlDatabase* db,
                                   GraphError* error = nullptr);

/// A number as SQL text: the general form with up to `significantDigits` digits and always a ".".
TVGRAPH_EXPORT QString sqlNumber(double value, int significantDigits);
/// The series-ID value in a WHERE clause: a text between apostrophes with every apostrophe doubled; any other
/// value in its plain form (numbers with a ".").
TVGRAPH_EXPORT QString sqlSeriesValue(const QVariant& seriesID);
/// "SELECT id,x,y FROM table WHERE series=value ORDER BY id,x"; names are used as given.
TVGRAPH_EXPORT QString selectText(const QString& tableName, const QString& seriesIDField, const QVariant& seriesID,
                                  const QString& idField, const QString& axisXField, const QString& axisYField);
/// "UPDATE table SET x=X/10,y=Y/10 WHERE id=ID" for one point of a series.
TVGRAPH_EXPORT QString updateText(const cData& series, const cPoint& point);

} // namespace tvGraph
