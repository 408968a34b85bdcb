#pragma once

#include "GraphError.h"
#include "tvGraphGlobal.h"

#include <QString>

namespace tvGraph {

/// One point of a series.
///
/// X and Y follow the tenths rule: assigning v stores 10·v (a single-precision multiply) and reading returns the
/// stored value, so `setX(2.5)` reads back as 25. Everything in the library (drawing, hit test, database writer)
/// works in these stored "plot units".
class TVGRAPH_EXPORT cPoint {
public:
    cPoint() = default;

    /// Optional collection key; "" means the point is added to a cPoints without a key.
    QString Key;

    /// Ordinate in plot units (ten times the value assigned).
    float Y() const { return m_y; }
    /// Stores 10·value; fails with Overflow (and keeps the old value) when the product is not finite.
    bool setY(float value, GraphError* error = nullptr);

    /// Abscissa in plot units (ten times the value assigned).
    float X() const { return m_x; }
    /// Stores 10·value; fails with Overflow (and keeps the old value) when the product is not finite.
    bool setX(float value, GraphError* error = nullptr);

    /// Identity of the point in its data source (record ID); -1 marks a miss of the hit test.
    qint32 ID() const { return m_id; }
    void setID(qint32 id) { m_id = id; }

private:
    float m_y = 0;
    float m_x = 0;
    qint32 m_id = 0;
};

} // namespace tvGraph
