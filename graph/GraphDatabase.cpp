// Database binding: loading a series from a table through the caller's connection, writing points back.

#include "Graph.h"

#include "Data.h"
#include "GraphPrivate.h"
#include "GraphSql.h"
#include "cData.h"
#include "cPoint.h"
#include "cPoints.h"

#include <QAtomicInteger>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cmath>
#include <limits>

namespace tvGraph {

namespace {

GraphError sqlError(const QSqlError& e)
{
    bool numeric = false;
    const int native = e.nativeErrorCode().toInt(&numeric);
    const QString text = e.text().isEmpty() ? QStringLiteral("database error") : e.text();
    return GraphError{numeric && native != 0 ? native : static_cast<qint32>(ErrorCode::Database), text};
}

// A column value as a number, as the runtime converts it: NULL is an error of its own, text must parse.
bool columnNumber(const QVariant& v, const QString& column, double* out, GraphError* error)
{
    if (v.isNull())
        return fail(error, GraphError::make(ErrorCode::InvalidUseOfNull, column));
    bool ok = false;
    if (v.metaType().id() == QMetaType::QString || v.metaType().id() == QMetaType::QByteArray)
        *out = v.toString().trimmed().toDouble(&ok);
    else
        *out = v.toDouble(&ok);
    if (!ok)
        return fail(error, GraphError::make(ErrorCode::TypeMismatch, column));
    return true;
}

bool columnLong(const QVariant& v, const QString& column, qint32* out, GraphError* error)
{
    double number = 0;
    if (!columnNumber(v, column, &number, error))
        return false;
    const auto rounded = round32(number);
    if (!rounded)
        return fail(error, GraphError::make(ErrorCode::Overflow, column));
    *out = *rounded;
    return true;
}

bool columnSingle(const QVariant& v, const QString& column, float* out, GraphError* error)
{
    double number = 0;
    if (!columnNumber(v, column, &number, error))
        return false;
    const auto single = static_cast<float>(number);
    if (!std::isfinite(single))
        return fail(error, GraphError::make(ErrorCode::Overflow, column));
    *out = single;
    return true;
}

} // namespace

bool Graph::SetValues(QSqlDatabase& cn, const QString& TableName, const QString& SeriesIDField,
                      const QVariant& SeriesID, const QString& IDField, const QString& AxisXField,
                      const QString& AxisYField, OleColor Color, GraphError* error)
{
    setConnectionString(connectionStringFor(cn));
    setTableName(TableName);
    setFieldNameID(IDField);
    setFieldNameAxisX(AxisXField);
    setFieldNameAxisY(AxisYField);

    auto points = std::make_shared<cPoints>();
    {
        QSqlQuery query(cn);
        query.setForwardOnly(true);
        if (!query.exec(selectText(TableName, SeriesIDField, SeriesID, IDField, AxisXField, AxisYField)))
            return fail(error, sqlError(query.lastError()));
        // The SELECT names exactly these three columns in this order, so they are read by position.
        qint32 rows = 0;
        while (query.next()) {
            // Row positions are 16-bit counters in the original binding; beyond them the load fails whole.
            if (++rows > std::numeric_limits<qint16>::max())
                return fail(error, GraphError::make(ErrorCode::Overflow, QStringLiteral("too many rows")));
            qint32 id = 0;
            float x = 0;
            float y = 0;
            if (!columnLong(query.value(0), IDField, &id, error) ||
                !columnSingle(query.value(1), AxisXField, &x, error) ||
                !columnSingle(query.value(2), AxisYField, &y, error))
                return false;
            auto point = std::make_shared<cPoint>();
            point->setID(id);
            if (!point->setX(x, error) || !point->setY(y, error))
                return false;
            points->Add(point);
        }
        if (query.lastError().isValid())
            return fail(error, sqlError(query.lastError()));
    }

    const auto series = d->dataSeries->Add(points, QString(), error);
    if (!series)
        return false;
    series->setColor(Color);
    series->setFieldNameAxisX(AxisXField);
    series->setFieldNameAxisY(AxisYField);
    series->setFieldNameID(IDField);
    series->setTableName(TableName);
    series->setFieldNameSeriesID(SeriesIDField);
    series->setFieldValueSeriesID(SeriesID);
    return RefreshScale(error);
}

bool Graph::SaveValues(GraphError* error)
{
    static QAtomicInteger<quint64> serial;
    const QString name = QStringLiteral("tvGraph.SaveValues.%1").arg(serial.fetchAndAddRelaxed(1));
    GraphError failure;
    {
        QSqlDatabase db;
        bool began = false;
        bool ok = openConnection(d->connectionString, name, &db, &failure);
        if (ok) {
            began = db.transaction();
            if (!began) {
                failure = sqlError(db.lastError());
                ok = false;
            }
        }
        for (auto s = d->dataSeries->begin(); ok && s != d->dataSeries->end(); ++s) {
            const auto points = *s ? (*s)->Points() : nullptr;
            if (!points) {
                failure = GraphError::make(ErrorCode::ObjectNotSet, QStringLiteral("series without points"));
                ok = false;
                break;
            }
            for (const auto& p : *points) {
                if (!p) {
                    failure = GraphError::make(ErrorCode::ObjectNotSet, QStringLiteral("empty point"));
                    ok = false;
                    break;
                }
                QSqlQuery update(db);
                if (!update.exec(updateText(**s, *p))) {
                    failure = sqlError(update.lastError());
                    ok = false;
                    break;
                }
            }
        }
        if (ok && !db.commit()) {
            failure = sqlError(db.lastError());
            ok = false;
        }
        // Rolled back before the message box, so no lock is held while the user reads it.
        if (!ok && began)
            db.rollback();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!failure.isError())
        return true;
    d->reportError(failure);
    return fail(error, failure);
}

} // namespace tvGraph
