#pragma once

#include <QString>

#include <ostream>

// Failure messages show texts as texts instead of arrays of 16-bit characters. Lists of texts print through this
// one as well.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
