#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

// GoogleTest prints Qt strings as text rather than as lists of 2-byte objects.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* out)
{
    *out << '"' << bytes.toStdString() << '"';
}
