#include "cPoint.h"

#include <cmath>

namespace tvGraph {

namespace {

bool storeTenths(float value, float* slot, GraphError* error)
{
    const float stored = value * 10.0f;
    // A single multiply can leave the float range; the value then stays as it was, like a failed assignment.
    if (!std::isfinite(stored))
        return fail(error, GraphError::make(ErrorCode::Overflow));
    *slot = stored;
    return true;
}

} // namespace

bool cPoint::setY(float value, GraphError* error)
{
    return storeTenths(value, &m_y, error);
}

bool cPoint::setX(float value, GraphError* error)
{
    return storeTenths(value, &m_x, error);
}

} // namespace tvGraph
