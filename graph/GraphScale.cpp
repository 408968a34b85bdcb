#include "GraphScale.h"

#include "Data.h"
#include "cData.h"
#include "cPoint.h"
#include "cPoints.h"

#include <QColor>
#include <QPalette>

#include <cmath>
#include <limits>

namespace tvGraph {

namespace {

// Series and point positions are 16-bit counters, and a loop to Count would step past 32767 on its last
// increment, so 32766 is the largest count every loop can finish.
constexpr qint64 MaxPositions = 32766;

constexpr double TwipsPerInch = 1440;
constexpr double HimetricPerInch = 2540;

} // namespace

std::optional<qint32> round32(double x)
{
    // nearbyint rounds in the default mode, to nearest with ties to even, as the runtime's CLng does.
    const double r = std::nearbyint(x);
    if (!(r >= std::numeric_limits<qint32>::min() && r <= std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return static_cast<qint32>(r);
}

std::optional<qint16> round16(double x)
{
    const double r = std::nearbyint(x);
    if (!(r >= std::numeric_limits<qint16>::min() && r <= std::numeric_limits<qint16>::max()))
        return std::nullopt;
    return static_cast<qint16>(r);
}

LibraryExtents& libraryExtents()
{
    // One set per thread: every control of a thread shares it, as the original library's globals did.
    thread_local LibraryExtents extents;
    return extents;
}

void resetLibraryExtents()
{
    libraryExtents() = LibraryExtents{};
}

std::optional<float> axisExtentFor(float dataMaximum)
{
    const auto rounded = round32(dataMaximum);
    if (!rounded)
        return std::nullopt;
    const float extent = 100.0f * static_cast<float>(*rounded / 100 + 1);
    if (!std::isfinite(extent))
        return std::nullopt;
    return extent;
}

bool computeExtents(const Data& series, LibraryExtents* out, GraphError* error)
{
    if (series.Count() > MaxPositions)
        return fail(error, GraphError::make(ErrorCode::Overflow, QStringLiteral("too many series")));
    float maxX = 0;
    float maxY = 0;
    for (const auto& s : series) {
        const auto points = s ? s->Points() : nullptr;
        if (!points)
            return fail(error, GraphError::make(ErrorCode::ObjectNotSet, QStringLiteral("series without points")));
        for (const auto& p : *points) {
            if (!p)
                return fail(error, GraphError::make(ErrorCode::ObjectNotSet, QStringLiteral("empty point")));
            if (p->X() > maxX)
                maxX = p->X();
            if (p->Y() > maxY)
                maxY = p->Y();
        }
    }
    const auto extentX = axisExtentFor(maxX);
    const auto extentY = axisExtentFor(maxY);
    if (!extentX || !extentY)
        return fail(error, GraphError::make(ErrorCode::Overflow, QStringLiteral("data maximum")));
    *out = LibraryExtents{*extentX, *extentY, maxX, maxY};
    return true;
}

std::optional<float> scaleWidthFor(float extentX)
{
    const auto r = round32(extentX);
    if (!r)
        return std::nullopt;
    return extentX + static_cast<float>(*r / 5);
}

std::optional<float> scaleHeightFor(float extentY)
{
    const auto r = round32(extentY);
    if (!r)
        return std::nullopt;
    return -(extentY + static_cast<float>(*r / 2));
}

std::optional<CoordinateFrame> plotFrame(float extentX, float extentY)
{
    const auto negW = round32(-extentX);
    const auto h = round32(extentY);
    const auto width = scaleWidthFor(extentX);
    const auto height = scaleHeightFor(extentY);
    if (!negW || !h || !width || !height)
        return std::nullopt;
    const float top = extentY + static_cast<float>(*h / 6);
    const float left = static_cast<float>(*negW / 8);
    if (!std::isfinite(top) || !std::isfinite(*width) || !std::isfinite(*height))
        return std::nullopt;
    return CoordinateFrame{left, top, *width, *height};
}

CoordinateFrame twipsFrame(QSizeF clientPixels, double dpiX, double dpiY)
{
    const double w = std::max(1.0, clientPixels.width());
    const double h = std::max(1.0, clientPixels.height());
    return CoordinateFrame{0, 0, w * TwipsPerInch / dpiX, h * TwipsPerInch / dpiY};
}

ScaleMap::ScaleMap(const CoordinateFrame& frame, QSizeF clientPixels, double dpiX, double dpiY)
    : m_frame(frame), m_pixelsX(std::max(1.0, clientPixels.width())), m_pixelsY(std::max(1.0, clientPixels.height())),
      m_dpiX(dpiX > 0 ? dpiX : 96), m_dpiY(dpiY > 0 ? dpiY : 96)
{}

QPointF ScaleMap::toPixelF(QPointF user) const
{
    return {(user.x() - m_frame.left) * m_pixelsX / m_frame.width,
            (user.y() - m_frame.top) * m_pixelsY / m_frame.height};
}

QPoint ScaleMap::toPixel(QPointF user) const
{
    const QPointF p = toPixelF(user);
    return {static_cast<int>(std::floor(p.x() + 0.5)), static_cast<int>(std::floor(p.y() + 0.5))};
}

QPointF ScaleMap::toUser(QPointF pixel) const
{
    return {m_frame.left + pixel.x() * m_frame.width / m_pixelsX, m_frame.top + pixel.y() * m_frame.height / m_pixelsY};
}

double ScaleMap::himetricX(double himetric) const
{
    return pixelsToUnitsX(himetric * m_dpiX / HimetricPerInch);
}

double ScaleMap::himetricY(double himetric) const
{
    return pixelsToUnitsY(himetric * m_dpiY / HimetricPerInch);
}

double ScaleMap::pixelsToUnitsX(double pixels) const
{
    return std::abs(pixels * m_frame.width / m_pixelsX);
}

double ScaleMap::pixelsToUnitsY(double pixels) const
{
    return std::abs(pixels * m_frame.height / m_pixelsY);
}

double ScaleMap::unitsToPixelsX(double units) const
{
    return std::abs(units * m_pixelsX / m_frame.width);
}

std::optional<std::vector<qint32>> tickPositions(float extent)
{
    const auto last = round16(extent);
    if (!last)
        return std::nullopt;
    std::vector<qint32> ticks;
    for (qint32 i = 100; i <= *last; i += 100)
        ticks.push_back(i);
    return ticks;
}

QString generalNumber(double value, int significantDigits, QChar decimalPoint)
{
    if (!std::isfinite(value))
        return QString::number(value);
    if (value == 0)
        return QStringLiteral("0");
    // Whole numbers within the digit budget print as plain integers; this is also the fast path for labels.
    double limit = 1;
    for (int i = 0; i < significantDigits; ++i)
        limit *= 10;
    if (std::abs(value) < limit && value == std::trunc(value))
        return QString::number(static_cast<qint64>(value));
    // 'G' gives the shortest form with the given precision and switches to the exponent form at the same
    // magnitudes as the runtime's general format; only the exponent and the separator need adjusting.
    QString text = QString::number(value, 'G', significantDigits);
    if (decimalPoint != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), decimalPoint);
    return text;
}

QString printedNumber(double value, QChar decimalPoint)
{
    const QString digits = generalNumber(value, 15, decimalPoint);
    return (value < 0 ? QString() : QStringLiteral(" ")) + digits + QLatin1Char(' ');
}

QColor colorFromOle(OleColor value, const QPalette& palette)
{
    if (value & 0x80000000u) {
        switch (value & 0xFFu) {
        case 0x05: // window background
            return palette.color(QPalette::Base);
        case 0x08: // window text
            return palette.color(QPalette::Text);
        case 0x0D: // highlight
            return palette.color(QPalette::Highlight);
        case 0x0E: // highlighted text
            return palette.color(QPalette::HighlightedText);
        case 0x0F: // button face
            return palette.color(QPalette::Button);
        case 0x10: // button shadow
            return palette.color(QPalette::Dark);
        case 0x11: // grey (disabled) text
            return palette.color(QPalette::Disabled, QPalette::Text);
        case 0x12: // button text
            return palette.color(QPalette::ButtonText);
        case 0x14: // 3D highlight
            return palette.color(QPalette::Light);
        case 0x15: // 3D dark shadow
            return palette.color(QPalette::Shadow);
        case 0x16: // 3D light
            return palette.color(QPalette::Midlight);
        case 0x17: // tool-tip text
            return palette.color(QPalette::ToolTipText);
        case 0x18: // tool-tip background
            return palette.color(QPalette::ToolTipBase);
        default:
            return palette.color(QPalette::WindowText);
        }
    }
    return QColor(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                  static_cast<int>((value >> 16) & 0xFFu));
}

OleColor oleFromRgb(int red, int green, int blue)
{
    return static_cast<OleColor>(red & 0xFF) | (static_cast<OleColor>(green & 0xFF) << 8) |
           (static_cast<OleColor>(blue & 0xFF) << 16);
}

bool hitTest(const Data& series, float px, float py, float r, HitResult* result, GraphError* error)
{
    auto miss = std::make_shared<cPoint>();
    miss->setID(-1);
    if (series.Count() > MaxPositions)
        return fail(error, GraphError::make(ErrorCode::Overflow, QStringLiteral("too many series")));
    qint16 s = 0;
    for (const auto& item : series) {
        ++s;
        const auto points = item ? item->Points() : nullptr;
        if (!points)
            return fail(error, GraphError::make(ErrorCode::ObjectNotSet, QStringLiteral("series without points")));
        if (points->Count() > MaxPositions)
            return fail(error, GraphError::make(ErrorCode::Overflow, QStringLiteral("too many points")));
        qint16 k = 0;
        for (const auto& p : *points) {
            ++k;
            if (!p)
                return fail(error, GraphError::make(ErrorCode::ObjectNotSet, QStringLiteral("empty point")));
            const float x = p->X();
            const float y = p->Y();
            if (x - r < px && px < x + r && y - r < py && py < y + r) {
                // Copied through the setters on purpose: the copy holds ten times the stored values, which the
                // hover status relies on when it divides by 100.
                auto copy = std::make_shared<cPoint>();
                copy->setID(p->ID());
                GraphError overflow;
                if (!copy->setX(x, &overflow) || !copy->setY(y, &overflow))
                    return fail(error, overflow);
                copy->Key = p->Key;
                result->point = std::move(copy);
                result->pointPosition = k;
                result->seriesPosition = s;
                return true;
            }
        }
    }
    result->point = std::move(miss);
    return true;
}

} // namespace tvGraph
