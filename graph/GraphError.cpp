#include "GraphError.h"

namespace tvGraph {

QString GraphError::text() const
{
    return QString::number(number) + QLatin1Char(':') + description;
}

GraphError GraphError::make(ErrorCode code, const QString& detail)
{
    QString text;
    switch (code) {
    case ErrorCode::None:
        break;
    case ErrorCode::InvalidProcedureCall:
        text = QStringLiteral("Invalid procedure call or argument");
        break;
    case ErrorCode::Overflow:
        text = QStringLiteral("Overflow");
        break;
    case ErrorCode::SubscriptOutOfRange:
        text = QStringLiteral("Subscript out of range");
        break;
    case ErrorCode::TypeMismatch:
        text = QStringLiteral("Type mismatch");
        break;
    case ErrorCode::ObjectNotSet:
        text = QStringLiteral("Object variable or With block variable not set");
        break;
    case ErrorCode::InvalidUseOfNull:
        text = QStringLiteral("Invalid use of Null");
        break;
    case ErrorCode::InvalidPropertyValue:
        text = QStringLiteral("Invalid property value");
        break;
    case ErrorCode::DuplicateKey:
        text = QStringLiteral("This key is already associated with an element of this collection");
        break;
    case ErrorCode::Database:
        text = QStringLiteral("Database error");
        break;
    }
    if (!detail.isEmpty())
        text = text.isEmpty() ? detail : text + QStringLiteral(": ") + detail;
    return GraphError{static_cast<qint32>(code), text};
}

bool fail(GraphError* out, const GraphError& error)
{
    if (out)
        *out = error;
    return false;
}

} // namespace tvGraph
