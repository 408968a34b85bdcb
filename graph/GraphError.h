#pragma once

#include "tvGraphGlobal.h"

#include <QString>

namespace tvGraph {

/// Error numbers the library reports; they keep the numbering of the automation runtime that hosts of the
/// original control were written against, so a host can show "number:description" unchanged.
enum class ErrorCode : qint32 {
    None = 0,
    InvalidProcedureCall = 5,   ///< Unknown key, bad argument.
    Overflow = 6,               ///< A value does not fit its type (tenths multiply, 16-bit positions).
    SubscriptOutOfRange = 9,    ///< A position outside 1..Count.
    TypeMismatch = 13,          ///< A stored or database value of the wrong kind.
    ObjectNotSet = 91,          ///< A missing object where one is needed (a series without points).
    InvalidUseOfNull = 94,      ///< A database NULL where a number is needed.
    InvalidPropertyValue = 380, ///< Plot before the first RefreshScale.
    DuplicateKey = 457,         ///< A key that the collection already holds.
    Database = -2147467259,     ///< A database failure without a numeric code of its own (0x80004005).
};

/// What went wrong in a call: the error number and its description. A default object means "no error".
struct TVGRAPH_EXPORT GraphError {
    qint32 number = 0;
    QString description;

    /// True when this names an error.
    bool isError() const { return number != 0; }
    /// The code as the library's enumeration (database errors may carry a driver's own number).
    ErrorCode code() const { return static_cast<ErrorCode>(number); }
    /// "number:description", the text a host shows in its message box.
    QString text() const;

    /// An error of the given code with the runtime's standard description, plus an optional detail.
    static GraphError make(ErrorCode code, const QString& detail = QString());
};

/// Stores `error` in `*out` when `out` is given; returns false so a caller can write `return fail(out, e);`.
TVGRAPH_EXPORT bool fail(GraphError* out, const GraphError& error);

} // namespace tvGraph
