#include "Data.h"

#include "KeyedList.h"
#include "cData.h"
#include "cPoints.h"

namespace tvGraph {

Data::Data() : d(std::make_unique<detail::KeyedList<cData>>()) {}

Data::~Data() = default;

std::shared_ptr<cData> Data::Add(std::shared_ptr<cPoints> NewData, const QString& sKey, GraphError* error)
{
    std::shared_ptr<cData> series(new cData);
    series->Key = sKey;
    series->setPoints(std::move(NewData));
    if (!d->add(series, sKey, error))
        return nullptr;
    return series;
}

std::shared_ptr<cData> Data::Item(const QVariant& vntIndexKey, GraphError* error) const
{
    return d->item(vntIndexKey, error);
}

qint32 Data::Count() const
{
    return static_cast<qint32>(d->count());
}

bool Data::Remove(const QVariant& vntIndexKey, GraphError* error)
{
    return d->remove(vntIndexKey, error);
}

QList<std::shared_ptr<cData>> Data::NewEnum() const
{
    return QList<std::shared_ptr<cData>>(d->begin(), d->end());
}

void Data::Clear()
{
    d->clear();
}

const std::shared_ptr<cData>* Data::begin() const
{
    return d->begin();
}

const std::shared_ptr<cData>* Data::end() const
{
    return d->end();
}

} // namespace tvGraph
