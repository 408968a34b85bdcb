#include "KeyedList.h"

#include <QMetaType>

namespace tvGraph::detail {

bool slotFromVariant(const QVariant& indexKey, Slot* slot, GraphError* error)
{
    switch (indexKey.metaType().id()) {
    case QMetaType::QString:
    case QMetaType::QChar:
    case QMetaType::QByteArray:
        slot->byKey = true;
        slot->key = indexKey.toString();
        return true;
    case QMetaType::UnknownType:
        // An empty argument counts as position 0, which no collection has.
        slot->position = 0;
        return true;
    case QMetaType::Bool:
        // The runtime's True is -1, never a valid position.
        slot->position = indexKey.toBool() ? -1 : 0;
        return true;
    default:
        break;
    }
    bool ok = false;
    const double number = indexKey.toDouble(&ok);
    if (!ok)
        return fail(error, GraphError::make(ErrorCode::TypeMismatch));
    const auto position = round32(number);
    if (!position)
        return fail(error, GraphError::make(ErrorCode::Overflow));
    slot->position = *position;
    return true;
}

} // namespace tvGraph::detail
