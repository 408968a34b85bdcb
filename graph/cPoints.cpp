#include "cPoints.h"

#include "KeyedList.h"
#include "cPoint.h"

namespace tvGraph {

cPoints::cPoints() : d(std::make_unique<detail::KeyedList<cPoint>>()) {}

cPoints::~cPoints() = default;

std::shared_ptr<cPoint> cPoints::Add(std::shared_ptr<cPoint> oPoint, GraphError* error)
{
    if (!oPoint) {
        fail(error, GraphError::make(ErrorCode::ObjectNotSet));
        return nullptr;
    }
    const QString key = oPoint->Key;
    if (!d->add(oPoint, key, error))
        return nullptr;
    return oPoint;
}

std::shared_ptr<cPoint> cPoints::Item(const QVariant& vntIndexKey, GraphError* error) const
{
    return d->item(vntIndexKey, error);
}

qint32 cPoints::Count() const
{
    return static_cast<qint32>(d->count());
}

bool cPoints::Remove(const QVariant& vntIndexKey, GraphError* error)
{
    return d->remove(vntIndexKey, error);
}

QList<std::shared_ptr<cPoint>> cPoints::NewEnum() const
{
    return QList<std::shared_ptr<cPoint>>(d->begin(), d->end());
}

const std::shared_ptr<cPoint>* cPoints::begin() const
{
    return d->begin();
}

const std::shared_ptr<cPoint>* cPoints::end() const
{
    return d->end();
}

} // namespace tvGraph
