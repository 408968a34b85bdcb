#include "cData.h"

#include "cPoints.h"

namespace tvGraph {

cData::cData() : m_points(std::make_shared<cPoints>()) {}

cData::~cData() = default;

} // namespace tvGraph
