#include "monitor/ColourScale.h"

#include "monitor/Settings.h"

#include <limits>

namespace {

constexpr const char* IconNames[] = {"SALAT", "GREEN", "DARKGREEN", "CYAN", "BLUE", "DARKBLUE", "MAGENTA", "PURPLE"};

template <typename T>
bool readList(const QString& joined, const char* what, qint64 low, qint64 high, std::array<T, ColourScale::Levels>* out,
              QString* error)
{
    const QStringList items = joined.split(u';');
    if (items.size() < ColourScale::Levels) {
        if (error)
            *error = QStringLiteral("Subscript out of range: %1 has %2 of %3 entries")
                         .arg(QLatin1String(what))
                         .arg(items.size())
                         .arg(ColourScale::Levels);
        return false;
    }
    for (int i = 0; i < ColourScale::Levels; ++i) {
        bool ok = false;
        const qint64 n = items[i].trimmed().toLongLong(&ok);
        if (!ok || n < low || n > high) {
            if (error)
                *error =
                    QStringLiteral("%1: %2 entry %3 is \"%4\"")
                        .arg(ok ? QStringLiteral("Overflow") : QStringLiteral("Type mismatch"), QLatin1String(what))
                        .arg(i + 1)
                        .arg(items[i].left(40));
            return false;
        }
        (*out)[i] = static_cast<T>(n);
    }
    return true;
}

} // namespace

ColourScale ColourScale::defaults()
{
    return *fromLists(QLatin1String(Keys::PingValues.defaultValue), QLatin1String(Keys::PingColors.defaultValue),
                      nullptr);
}

std::optional<ColourScale> ColourScale::fromLists(const QString& levels, const QString& colours, QString* error)
{
    ColourScale scale;
    if (!readList(levels, "PingValues", std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max(),
                  &scale.m_levels, error) ||
        !readList(colours, "PingColors", std::numeric_limits<qint32>::min(), std::numeric_limits<quint32>::max(),
                  &scale.m_colours, error))
        return std::nullopt;
    return scale;
}

QString ColourScale::colourName(int ms) const
{
    for (int k = 0; k < Levels - 1; ++k) {
        if (ms < m_levels[k])
            return QLatin1String(IconNames[k]);
    }
    return QStringLiteral("DARKRED");
}

std::uint32_t ColourScale::barColour(int ms) const
{
    for (int k = 0; k < Levels; ++k) {
        if (ms < m_levels[k])
            return m_colours[k];
    }
    return 255;
}
