#pragma once

// The graph's coordinate arithmetic as plain functions, so hosts and tests can compute where the control puts
// things without drawing anything.

#include "GraphError.h"
#include "tvGraphGlobal.h"

#include <QChar>
#include <QPoint>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

QT_BEGIN_NAMESPACE
class QColor;
class QPalette;
QT_END_NAMESPACE

namespace tvGraph {

class Data;
class cPoint;

/// Colour value 0x00BBGGRR; with the high bit set, the low byte names a system colour.
using OleColor = quint32;

/// Dash styles of the series lines (the `LineStyle` property).
enum class DashStyle : qint32 {
    Solid = 0,
    Dash = 1,
    Dot = 2,
    DashDot = 3,
    DashDotDot = 4,
    Invisible = 5,
    InsideSolid = 6,
};

/// Rounds to the nearest 32-bit integer, ties to even; empty when the result does not fit.
TVGRAPH_EXPORT std::optional<qint32> round32(double x);
/// Rounds to the nearest 16-bit integer, ties to even; empty when the result does not fit.
TVGRAPH_EXPORT std::optional<qint16> round16(double x);

/// Extents of all graphs of the library on this thread: every Graph shares one set, and only RefreshScale
/// changes it. All four start at 0, which Plot refuses.
struct TVGRAPH_EXPORT LibraryExtents {
    float axisX = 0;    ///< X axis runs from 0 to this, plot units.
    float axisY = 0;    ///< Y axis runs from 0 to this, plot units.
    float dataMaxX = 0; ///< Largest point X of the last RefreshScale, never below 0.
    float dataMaxY = 0; ///< Largest point Y of the last RefreshScale, never below 0.
};

/// The library-wide extents of the calling thread.
TVGRAPH_EXPORT LibraryExtents& libraryExtents();
/// Puts the library-wide extents back to their load state (all 0).
TVGRAPH_EXPORT void resetLibraryExtents();

/// Axis extent for a data maximum: 100·(round32(max) div 100 + 1), so 250 → 300, 300 → 400, 0 → 100.
TVGRAPH_EXPORT std::optional<float> axisExtentFor(float dataMaximum);
/// Data maxima and axis extents of all series (maxima never below 0). Fails with Overflow beyond 32766 series
/// and with ObjectNotSet for a series without a points collection.
TVGRAPH_EXPORT bool computeExtents(const Data& series, LibraryExtents* out, GraphError* error = nullptr);
/// `GraphScaleWidth` for an X extent: W + round32(W) div 5.
TVGRAPH_EXPORT std::optional<float> scaleWidthFor(float extentX);
/// `GraphScaleHeight` for a Y extent: −(H + round32(H) div 2).
TVGRAPH_EXPORT std::optional<float> scaleHeightFor(float extentY);

/// A user coordinate system laid over the client area: left/top name the user coordinates of the top-left
/// corner, width/height the extent of the whole area (a negative height makes y grow upwards).
struct TVGRAPH_EXPORT CoordinateFrame {
    double left = 0;
    double top = 0;
    double width = 1;
    double height = 1;

    bool operator==(const CoordinateFrame&) const = default;
};

/// The plot's coordinate system for extents W and H: left round32(−W) div 8, top H + round32(H) div 6,
/// width W + round32(W) div 5, height −(H + round32(H) div 2). Empty when a value overflows.
TVGRAPH_EXPORT std::optional<CoordinateFrame> plotFrame(float extentX, float extentY);
/// The control's coordinate system before its first Plot: twips (1/1440 inch) from the top-left corner.
TVGRAPH_EXPORT CoordinateFrame twipsFrame(QSizeF clientPixels, double dpiX, double dpiY);

/// Maps between a coordinate frame and the client area's pixels, and converts physical lengths.
class TVGRAPH_EXPORT ScaleMap {
public:
    ScaleMap() = default;
    /// `clientPixels` is the client area in (device-independent) pixels; empty sizes count as 1 pixel.
    ScaleMap(const CoordinateFrame& frame, QSizeF clientPixels, double dpiX, double dpiY);

    const CoordinateFrame& frame() const { return m_frame; }
    QSizeF clientPixels() const { return {m_pixelsX, m_pixelsY}; }

    /// Pixel position (fractional) of a user point.
    QPointF toPixelF(QPointF user) const;
    /// Pixel a user point falls on (nearest pixel, halves rounded up), the one the control draws.
    QPoint toPixel(QPointF user) const;
    /// User coordinates of a pixel position.
    QPointF toUser(QPointF pixel) const;

    /// A horizontal length in HIMETRIC (0.01 mm) as a positive number of user units along x.
    double himetricX(double himetric) const;
    /// A vertical length in HIMETRIC as a positive number of user units along y.
    double himetricY(double himetric) const;
    /// A pixel count as a positive number of user units along x.
    double pixelsToUnitsX(double pixels) const;
    /// A pixel count as a positive number of user units along y.
    double pixelsToUnitsY(double pixels) const;
    /// A positive number of user units along x as pixels.
    double unitsToPixelsX(double units) const;

private:
    CoordinateFrame m_frame;
    double m_pixelsX = 1;
    double m_pixelsY = 1;
    double m_dpiX = 96;
    double m_dpiY = 96;
};

/// Tick positions of an axis of extent E: 100, 200, … while ≤ round16(E). Empty on a 16-bit overflow.
TVGRAPH_EXPORT std::optional<std::vector<qint32>> tickPositions(float extent);

/// General number format: the shortest form with at most `significantDigits` digits (7 for Single, 15 for
/// Double), no thousands separator, exponent form "1.5E+20" for very large or small magnitudes.
TVGRAPH_EXPORT QString generalNumber(double value, int significantDigits, QChar decimalPoint = QLatin1Char('.'));
/// A number as the drawing runtime prints it: a blank in place of a plus sign, the general form of a Double,
/// one trailing blank (" 10 ", "-2.5 ").
TVGRAPH_EXPORT QString printedNumber(double value, QChar decimalPoint = QLatin1Char('.'));

/// The colour a colour value stands for; system colours come from `palette`.
TVGRAPH_EXPORT QColor colorFromOle(OleColor value, const QPalette& palette);
/// Colour value of a plain RGB colour.
TVGRAPH_EXPORT OleColor oleFromRgb(int red, int green, int blue);

/// Result of a hit test: the point found (a copy made through the properties, so its X and Y are ten times
/// the stored values) and its 1-based point and series positions; `point.ID()` is −1 on a miss.
struct TVGRAPH_EXPORT HitResult {
    std::shared_ptr<cPoint> point;
    qint16 pointPosition = 0;
    qint16 seriesPosition = 0;
};

/// Finds the first point (series in order, then points in order) with X − r < px < X + r and
/// Y − r < py < Y + r. Fails with Overflow beyond 32766 series or points of a series.
TVGRAPH_EXPORT bool hitTest(const Data& series, float px, float py, float r, HitResult* result,
                            GraphError* error = nullptr);

} // namespace tvGraph
