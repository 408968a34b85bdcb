#pragma once

#include "GraphScale.h"
#include "tvGraphGlobal.h"

#include <QString>
#include <QVariant>

#include <memory>

namespace tvGraph {

class cPoints;
class Data;

/// One series: its points, its line colour and, for a series loaded from a database, where it came from.
/// Only `Data::Add` creates series.
class TVGRAPH_EXPORT cData {
public:
    ~cData();
    cData(const cData&) = delete;
    cData& operator=(const cData&) = delete;

    /// Key under which the series was added ("" if none).
    QString Key;

    /// Value of the series-ID column that selected this series' rows; empty by default.
    QVariant FieldValueSeriesID() const { return m_fieldValueSeriesID; }
    void setFieldValueSeriesID(const QVariant& value) { m_fieldValueSeriesID = value; }
    /// Name of the series-ID column.
    QString FieldNameSeriesID() const { return m_fieldNameSeriesID; }
    void setFieldNameSeriesID(const QString& name) { m_fieldNameSeriesID = name; }
    /// Colour of the connecting lines, 0x00BBGGRR; black by default.
    OleColor Color() const { return m_color; }
    void setColor(OleColor color) { m_color = color; }
    /// Name of the record-ID column.
    QString FieldNameID() const { return m_fieldNameID; }
    void setFieldNameID(const QString& name) { m_fieldNameID = name; }
    /// Name of the Y column.
    QString FieldNameAxisY() const { return m_fieldNameAxisY; }
    void setFieldNameAxisY(const QString& name) { m_fieldNameAxisY = name; }
    /// Name of the X column.
    QString FieldNameAxisX() const { return m_fieldNameAxisX; }
    void setFieldNameAxisX(const QString& name) { m_fieldNameAxisX = name; }
    /// Table the series was read from.
    QString TableName() const { return m_tableName; }
    void setTableName(const QString& name) { m_tableName = name; }
    /// The series' points (a shared reference).
    std::shared_ptr<cPoints> Points() const { return m_points; }
    /// Replaces the reference; the collection given is used itself, not copied.
    void setPoints(std::shared_ptr<cPoints> points) { m_points = std::move(points); }

private:
    friend class Data;
    cData();

    QVariant m_fieldValueSeriesID;
    QString m_fieldNameSeriesID;
    OleColor m_color = 0;
    QString m_fieldNameID;
    QString m_fieldNameAxisY;
    QString m_fieldNameAxisX;
    QString m_tableName;
    std::shared_ptr<cPoints> m_points;
};

} // namespace tvGraph
