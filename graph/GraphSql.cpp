#include "GraphSql.h"

#include "GraphScale.h"
#include "cData.h"
#include "cPoint.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QStringList>

namespace tvGraph {

namespace {

QString braced(const QString& value)
{
    const bool needsBraces = value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('}')) ||
                             value.startsWith(QLatin1Char('{')) || value != value.trimmed();
    if (!needsBraces)
        return value;
    QString inner = value;
    inner.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return QLatin1Char('{') + inner + QLatin1Char('}');
}

GraphError badText(const QString& detail)
{
    return GraphError::make(ErrorCode::InvalidProcedureCall, QStringLiteral("connection string: ") + detail);
}

} // namespace

std::optional<ConnectionSettings> parseConnectionString(const QString& text, GraphError* error)
{
    ConnectionSettings settings;
    const qsizetype n = text.size();
    qsizetype i = 0;
    const auto skipBlanks = [&](qsizetype at) {
        while (at < n && text[at].isSpace())
            ++at;
        return at;
    };
    while (true) {
        while ((i = skipBlanks(i)) < n && text[i] == QLatin1Char(';'))
            ++i;
        if (i >= n)
            break;
        // A name up to "=", then a plain value up to ";" or a braced value in which "}}" stands for "}".
        const qsizetype eq = text.indexOf(QLatin1Char('='), i);
        const qsizetype semicolon = text.indexOf(QLatin1Char(';'), i);
        if (eq < 0 || (semicolon >= 0 && semicolon < eq)) {
            fail(error, badText(QStringLiteral("no value for ") + text.mid(i, semicolon < 0 ? -1 : semicolon - i)));
            return std::nullopt;
        }
        const QString name = text.mid(i, eq - i).trimmed().toLower();
        qsizetype j = skipBlanks(eq + 1);
        QString value;
        if (j < n && text[j] == QLatin1Char('{')) {
            bool closed = false;
            for (++j; j < n; ++j) {
                if (text[j] != QLatin1Char('}')) {
                    value += text[j];
                } else if (j + 1 < n && text[j + 1] == QLatin1Char('}')) {
                    value += QLatin1Char('}');
                    ++j;
                } else {
                    closed = true;
                    ++j;
                    break;
                }
            }
            j = skipBlanks(j);
            if (!closed || (j < n && text[j] != QLatin1Char(';'))) {
                fail(error, badText(QStringLiteral("malformed braced value of ") + name));
                return std::nullopt;
            }
        } else {
            const qsizetype end = text.indexOf(QLatin1Char(';'), j);
            value = text.mid(j, end < 0 ? -1 : end - j).trimmed();
            j = end < 0 ? n : end;
        }
        i = j;

        if (name == QLatin1String("driver")) {
            settings.driver = value;
        } else if (name == QLatin1String("database")) {
            settings.database = value;
        } else if (name == QLatin1String("host")) {
            settings.host = value;
        } else if (name == QLatin1String("port")) {
            bool ok = false;
            settings.port = value.toInt(&ok);
            if (!ok) {
                fail(error, badText(QStringLiteral("port ") + value));
                return std::nullopt;
            }
        } else if (name == QLatin1String("user")) {
            settings.user = value;
        } else if (name == QLatin1String("password")) {
            settings.password = value;
        } else if (name == QLatin1String("options")) {
            settings.options = value;
        } else {
            fail(error, badText(QStringLiteral("unknown name ") + name));
            return std::nullopt;
        }
    }
    if (settings.driver.isEmpty()) {
        fail(error, badText(QStringLiteral("empty driver")));
        return std::nullopt;
    }
    return settings;
}

QString formatConnectionString(const ConnectionSettings& s)
{
    QStringList parts;
    parts << QStringLiteral("Driver=") + braced(s.driver);
    if (!s.database.isEmpty())
        parts << QStringLiteral("Database=") + braced(s.database);
    if (!s.host.isEmpty())
        parts << QStringLiteral("Host=") + braced(s.host);
    if (s.port >= 0)
        parts << QStringLiteral("Port=") + QString::number(s.port);
    if (!s.user.isEmpty())
        parts << QStringLiteral("User=") + braced(s.user);
    if (!s.password.isEmpty())
        parts << QStringLiteral("Password=") + braced(s.password);
    if (!s.options.isEmpty())
        parts << QStringLiteral("Options=") + braced(s.options);
    return parts.join(QLatin1Char(';'));
}

QString connectionStringFor(const QSqlDatabase& db)
{
    ConnectionSettings s;
    s.driver = db.driverName();
    s.database = db.databaseName();
    s.host = db.hostName();
    s.port = db.port();
    s.user = db.userName();
    s.password = db.password();
    s.options = db.connectOptions();
    return formatConnectionString(s);
}

bool openConnection(const QString& text, const QString& connectionName, QSqlDatabase* db, GraphError* error)
{
    GraphError parseError;
    const auto settings = parseConnectionString(text, &parseError);
    if (!settings)
        return fail(error, parseError);
    if (!QSqlDatabase::isDriverAvailable(settings->driver))
        return fail(error,
                    GraphError::make(ErrorCode::Database, QStringLiteral("driver not available: ") + settings->driver));
    *db = QSqlDatabase::addDatabase(settings->driver, connectionName);
    db->setDatabaseName(settings->database);
    if (!settings->host.isEmpty())
        db->setHostName(settings->host);
    if (settings->port >= 0)
        db->setPort(settings->port);
    if (!settings->user.isEmpty())
        db->setUserName(settings->user);
    if (!settings->password.isEmpty())
        db->setPassword(settings->password);
    if (!settings->options.isEmpty())
        db->setConnectOptions(settings->options);
    if (!db->open()) {
        const QSqlError e = db->lastError();
        bool numeric = false;
        const int native = e.nativeErrorCode().toInt(&numeric);
        return fail(error,
                    GraphError{numeric && native != 0 ? native : static_cast<qint32>(ErrorCode::Database), e.text()});
    }
    return true;
}

QString sqlNumber(double value, int significantDigits)
{
    // Always a ".": SQL does not follow the user's locale, and a decimal comma would split the value in two.
    return generalNumber(value, significantDigits, QLatin1Char('.'));
}

QString sqlSeriesValue(const QVariant& seriesID)
{
    switch (seriesID.metaType().id()) {
    case QMetaType::QString:
    case QMetaType::QChar:
    case QMetaType::QByteArray: {
        QString text = seriesID.toString();
        text.replace(QStringLiteral("'"), QStringLiteral("''"));
        return QLatin1Char('\'') + text + QLatin1Char('\'');
    }
    case QMetaType::Float:
        return sqlNumber(seriesID.toFloat(), 7);
    case QMetaType::Double:
        return sqlNumber(seriesID.toDouble(), 15);
    case QMetaType::Bool:
        // The runtime's plain text of a Boolean; SQL engines read True/False as their boolean literals.
        return seriesID.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return seriesID.toString();
    }
}

QString selectText(const QString& tableName, const QString& seriesIDField, const QVariant& seriesID,
                   const QString& idField, const QString& axisXField, const QString& axisYField)
{
    return QStringLiteral("SELECT ") + idField + QLatin1Char(',') + axisXField + QLatin1Char(',') + axisYField +
           QStringLiteral(" FROM ") + tableName + QStringLiteral(" WHERE ") + seriesIDField + QLatin1Char('=') +
           sqlSeriesValue(seriesID) + QStringLiteral(" ORDER BY ") + idField + QLatin1Char(',') + axisXField;
}

QString updateText(const cData& series, const cPoint& point)
{
    const float x = point.X() / 10.0f;
    const float y = point.Y() / 10.0f;
    return QStringLiteral("UPDATE ") + series.TableName() + QStringLiteral(" SET ") + series.FieldNameAxisX() +
           QLatin1Char('=') + sqlNumber(x, 7) + QLatin1Char(',') + series.FieldNameAxisY() + QLatin1Char('=') +
           sqlNumber(y, 7) + QStringLiteral(" WHERE ") + series.FieldNameID() + QLatin1Char('=') +
           QString::number(point.ID());
}

} // namespace tvGraph
