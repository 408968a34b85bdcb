#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

// The nine-level colour scale: ascending round-trip levels in ms, one bar colour per level (red in the low byte).
// It names the icon of a result and colours its bar.
class ColourScale {
public:
    static constexpr int Levels = 9;

    static ColourScale defaults();
    // From the settings' ";"-joined lists. Only the first nine entries count; fewer, non-numeric ones or levels
    // outside 16 bits are refused with a reason in *error.
    static std::optional<ColourScale> fromLists(const QString& levels, const QString& colours, QString* error);

    // "SALAT" … "PURPLE" for values below levels 0 … 7, "DARKRED" from level 7 up. Equal to a level is the next band.
    QString colourName(int ms) const;
    // The colour of the first level above `ms`; pure red from the top level up.
    std::uint32_t barColour(int ms) const;

    const std::array<int, Levels>& levels() const { return m_levels; }
    const std::array<std::uint32_t, Levels>& colours() const { return m_colours; }

private:
    std::array<int, Levels> m_levels{};
    std::array<std::uint32_t, Levels> m_colours{};
};
