#pragma once

#include "GraphError.h"
#include "tvGraphGlobal.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

namespace tvGraph {

class cData;
class cPoints;
class Graph;
namespace detail {
template <class T> class KeyedList;
}

/// The series of one control (`Graph::DataSeries`): ordered, optionally keyed, positions 1..Count.
/// Failing calls report their error and leave the collection as it was.
class TVGRAPH_EXPORT Data {
public:
    ~Data();
    Data(const Data&) = delete;
    Data& operator=(const Data&) = delete;

    /// Creates a series whose `Points` is `NewData` itself (not a copy) and whose `Key` is `sKey`, appends it
    /// (under `sKey` unless empty) and returns it; null with DuplicateKey and nothing added.
    std::shared_ptr<cData> Add(std::shared_ptr<cPoints> NewData, const QString& sKey = QString(),
                               GraphError* error = nullptr);
    /// The series at a 1-based position (numeric variant) or with a key (text variant); null on failure.
    std::shared_ptr<cData> Item(const QVariant& vntIndexKey, GraphError* error = nullptr) const;
    /// Number of series.
    qint32 Count() const;
    /// Removes by position or key; later positions shift down by one.
    bool Remove(const QVariant& vntIndexKey, GraphError* error = nullptr);
    /// The series in position order (a snapshot).
    QList<std::shared_ptr<cData>> NewEnum() const;
    /// Empties the collection; series and points held elsewhere stay alive.
    void Clear();

    /// Position-order iteration without a snapshot; invalidated by any change to the collection.
    const std::shared_ptr<cData>* begin() const;
    const std::shared_ptr<cData>* end() const;

private:
    friend class Graph;
    Data();

    std::unique_ptr<detail::KeyedList<cData>> d;
};

} // namespace tvGraph
