#pragma once

#include "GraphError.h"
#include "tvGraphGlobal.h"

#include <QList>
#include <QVariant>

#include <memory>

namespace tvGraph {

class cPoint;
namespace detail {
template <class T> class KeyedList;
}

/// Ordered collection of points, positions 1..Count in insertion order, each optionally reachable by its key.
///
/// Elements are shared references: `Add` keeps the very object given. Every failing call (unknown key, position
/// outside 1..Count, duplicate key) reports the error and leaves the collection as it was.
class TVGRAPH_EXPORT cPoints {
public:
    cPoints();
    ~cPoints();
    cPoints(const cPoints&) = delete;
    cPoints& operator=(const cPoints&) = delete;

    /// Appends `oPoint` itself (no copy), under `oPoint->Key` when that is not empty. Returns the same object,
    /// or null with DuplicateKey (or ObjectNotSet for a null point) and nothing added.
    std::shared_ptr<cPoint> Add(std::shared_ptr<cPoint> oPoint, GraphError* error = nullptr);
    /// The element at a 1-based position (numeric variant) or with a key (text variant); null on failure.
    std::shared_ptr<cPoint> Item(const QVariant& vntIndexKey, GraphError* error = nullptr) const;
    /// Number of elements.
    qint32 Count() const;
    /// Removes by position or key; later positions shift down by one.
    bool Remove(const QVariant& vntIndexKey, GraphError* error = nullptr);
    /// The elements in position order (a snapshot; the collection may change while it is walked).
    QList<std::shared_ptr<cPoint>> NewEnum() const;

    /// Position-order iteration without a snapshot; invalidated by any change to the collection.
    const std::shared_ptr<cPoint>* begin() const;
    const std::shared_ptr<cPoint>* end() const;

private:
    std::unique_ptr<detail::KeyedList<cPoint>> d;
};

} // namespace tvGraph
