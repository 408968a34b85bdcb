// RefreshScale and Plot: the axis extents, and the redraw of the whole graph into the backing image.

#include "Graph.h"

#include "Data.h"
#include "GraphFont.h"
#include "GraphPrivate.h"
#include "cData.h"
#include "cPoint.h"
#include "cPoints.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>

#include <array>
#include <cmath>

namespace tvGraph {

namespace {

const QString CreditText = QStringLiteral("tvGraph 1.1 - Tavrik graph control");

// The 16-bit positions of series, points and label elements bound every loop of the redraw.
constexpr qsizetype MaxPositions = 32766;
constexpr qsizetype MaxLabelIndex = 32767;
// Pixel coordinates beyond this cannot be handed to the rasteriser; such a point ends Plot with Overflow.
constexpr double MaxPixel = 16777216.0;

// The window's updates stay off while the picture is rebuilt, so no half-drawn state reaches the screen;
// leaving the scope by any path turns them on again and repaints once.
class UpdateFreeze {
public:
    explicit UpdateFreeze(QWidget* widget) : m_widget(widget), m_wasEnabled(widget->updatesEnabled())
    {
        m_widget->setUpdatesEnabled(false);
    }
    ~UpdateFreeze()
    {
        m_widget->setUpdatesEnabled(m_wasEnabled);
        m_widget->update();
    }
    UpdateFreeze(const UpdateFreeze&) = delete;
    UpdateFreeze& operator=(const UpdateFreeze&) = delete;

private:
    QWidget* m_widget;
    bool m_wasEnabled;
};

Qt::PenStyle penStyleFor(DashStyle style)
{
    switch (style) {
    case DashStyle::Dash:
        return Qt::DashLine;
    case DashStyle::Dot:
        return Qt::DotLine;
    case DashStyle::DashDot:
        return Qt::DashDotLine;
    case DashStyle::DashDotDot:
        return Qt::DashDotDotLine;
    case DashStyle::Invisible:
        return Qt::NoPen;
    case DashStyle::Solid:
    case DashStyle::InsideSolid:
        break;
    }
    return Qt::SolidLine;
}

// A drawing surface in user coordinates with a current position, font and foreground colour. Text goes at the
// current position as its top-left corner; afterwards the position moves to the start of the next line.
class PlotSurface {
public:
    PlotSurface(QImage* image, const ScaleMap& map) : m_device(image), m_painter(image), m_map(map)
    {
        m_painter.setRenderHint(QPainter::Antialiasing, false);
        setFont(QFont());
    }

    double currentX = 0;
    double currentY = 0;

    QPainter& painter() { return m_painter; }
    const ScaleMap& map() const { return m_map; }

    void setFont(const QFont& font)
    {
        m_painter.setFont(font);
        m_metrics = QFontMetricsF(font, m_device);
    }
    void setForeColor(const QColor& color) { m_fore = color; }

    double textWidth(const QString& text) const { return m_map.pixelsToUnitsX(m_metrics.horizontalAdvance(text)); }
    double textHeight() const { return m_map.pixelsToUnitsY(m_metrics.height()); }

    void print(const QString& text)
    {
        const QPoint topLeft = m_map.toPixel(QPointF(currentX, currentY));
        m_painter.setPen(m_fore);
        m_painter.drawText(QPoint(topLeft.x(), topLeft.y() + qRound(m_metrics.ascent())), text);
        currentX = m_map.frame().left;
        currentY -= textHeight();
    }

    void line(QPointF from, QPointF to, const QColor& color)
    {
        m_painter.setPen(QPen(color, 0, Qt::SolidLine));
        m_painter.drawLine(m_map.toPixel(from), m_map.toPixel(to));
    }

private:
    QPaintDevice* m_device;
    QPainter m_painter;
    ScaleMap m_map;
    QFontMetricsF m_metrics{QFont()};
    QColor m_fore = Qt::black;
};

// The pixel a plot point falls on, kept as doubles so far-away points stay exact until the rasteriser clips.
bool pixelOf(const ScaleMap& map, const cPoint& p, QPointF* out)
{
    const QPointF f = map.toPixelF(QPointF(p.X(), p.Y()));
    if (!(std::abs(f.x()) < MaxPixel && std::abs(f.y()) < MaxPixel))
        return false;
    *out = QPointF(std::floor(f.x() + 0.5), std::floor(f.y() + 0.5));
    return true;
}

// Advances of the characters a label caption uses, so a large series does not lay out every caption.
class CaptionMeasure {
public:
    explicit CaptionMeasure(const QFont& font, QPaintDevice* device) : m_metrics(font, device) { m_advance.fill(-1); }
    int width(const QString& text)
    {
        int sum = 0;
        for (const QChar c : text) {
            const ushort u = c.unicode();
            if (u < m_advance.size()) {
                if (m_advance[u] < 0)
                    m_advance[u] = m_metrics.horizontalAdvance(c);
                sum += m_advance[u];
            } else {
                sum += m_metrics.horizontalAdvance(c);
            }
        }
        return sum;
    }
    int height() const { return m_metrics.height(); }

private:
    QFontMetrics m_metrics;
    std::array<int, 128> m_advance{};
};

} // namespace

bool Graph::RefreshScale(GraphError* error)
{
    LibraryExtents extents;
    if (!computeExtents(*d->dataSeries, &extents, error))
        return false;
    const auto width = scaleWidthFor(extents.axisX);
    const auto height = scaleHeightFor(extents.axisY);
    if (!width || !height)
        return fail(error, GraphError::make(ErrorCode::Overflow, QStringLiteral("axis extent")));
    libraryExtents() = extents;
    // Through the setters, so the host's persistence sees them as changed.
    setGraphScaleWidth(*width);
    setGraphScaleHeight(*height);
    return true;
}

bool Graph::Plot(GraphError* error)
{
    const LibraryExtents extents = libraryExtents();
    const float W = extents.axisX;
    const float H = extents.axisY;
    // Zero extents would make a degenerate coordinate system (a division by zero on every mapping); refuse
    // before touching anything, so the previous picture and labels stay as they were.
    if (!(W > 0) || !(H > 0))
        return fail(error, GraphError::make(ErrorCode::InvalidPropertyValue,
                                            QStringLiteral("Plot needs RefreshScale first: no axis extents yet")));
    const auto frame = plotFrame(W, H);
    const auto ticksX = tickPositions(W);
    const auto ticksY = tickPositions(H);
    const auto halfH = round32(H);
    const auto negW = round32(-W);
    if (!frame || !ticksX || !ticksY || !halfH || !negW)
        return fail(error, GraphError::make(ErrorCode::Overflow, QStringLiteral("axis extent")));
    if (!d->axisXFont || !d->axisYFont || !d->axisXCaptionFont || !d->axisYCaptionFont)
        return fail(error, GraphError::make(ErrorCode::ObjectNotSet, QStringLiteral("axis font")));

    d->ensureImage();
    const ScaleMap map(*frame, QSizeF(size()).expandedTo(QSizeF(1, 1)), logicalDpiX(), logicalDpiY());

    // Read every series first: a collection that cannot be drawn ends Plot before anything is cleared.
    const Data& series = *d->dataSeries;
    if (series.Count() > MaxPositions)
        return fail(error, GraphError::make(ErrorCode::Overflow, QStringLiteral("too many series")));
    std::vector<std::vector<QPointF>> pixels;
    pixels.reserve(static_cast<size_t>(series.Count()));
    qsizetype labelTotal = 0;
    for (const auto& s : series) {
        const auto points = s ? s->Points() : nullptr;
        if (!points)
            return fail(error, GraphError::make(ErrorCode::ObjectNotSet, QStringLiteral("series without points")));
        if (points->Count() > MaxPositions)
            return fail(error, GraphError::make(ErrorCode::Overflow, QStringLiteral("too many points")));
        std::vector<QPointF> row;
        row.reserve(static_cast<size_t>(points->Count()));
        for (const auto& p : *points) {
            if (!p)
                return fail(error, GraphError::make(ErrorCode::ObjectNotSet, QStringLiteral("empty point")));
            QPointF px;
            if (!pixelOf(map, *p, &px))
                return fail(error, GraphError::make(ErrorCode::Overflow, QStringLiteral("point off the surface")));
            row.push_back(px);
        }
        labelTotal += points->Count();
        pixels.push_back(std::move(row));
    }
    const bool withLabels = d->showPoints && d->showLabels;
    if (withLabels && labelTotal > MaxLabelIndex)
        return fail(error, GraphError::make(ErrorCode::Overflow, QStringLiteral("too many point labels")));

    // Lengths that depend only on the coordinate system and the fonts.
    const auto tickX = round32(map.himetricY(60));
    const auto tickY = round32(map.himetricX(80));
    const auto markerRadius = round32(map.himetricX(50));
    const double widest =
        map.pixelsToUnitsX(QFontMetricsF(d->axisYFont->toQFont(), &d->image).horizontalAdvance(generalNumber(H, 7)));
    const auto widestRounded = round32(widest);
    const auto cellHeight = round32(d->axisYCaptionFont->Size() + 4);
    if (!tickX || !tickY || !markerRadius || !widestRounded || !cellHeight)
        return fail(error, GraphError::make(ErrorCode::Overflow, QStringLiteral("length on the surface")));

    UpdateFreeze freeze(this);

    // Labels of the last Plot go; the template element 0 stays.
    d->labels.resize(1);
    d->image.fill(d->background());
    d->frame = *frame;

    PlotSurface surface(&d->image, map);
    QPainter& painter = surface.painter();
    const QColor black(Qt::black);
    const QColor magenta(128, 0, 128);

    // Credit line: it ends 10 units right of the X extent, its bottom 40 units above the top of the Y axis.
    QFont creditFont = GraphFont(QStringLiteral("Arial"), 5.0f).toQFont();
    surface.setFont(creditFont);
    surface.setForeColor(black);
    surface.currentY = H + surface.textHeight() + 40;
    surface.currentX = W - surface.textWidth(CreditText) + 10;
    surface.print(CreditText);

    if (!d->topCaption.isEmpty()) {
        surface.setFont(GraphFont(QStringLiteral("Arial"), 10.0f, true).toQFont());
        surface.setForeColor(black);
        surface.currentY = H + surface.textHeight() + 20;
        surface.currentX = -20;
        surface.print(d->topCaption);
    }

    surface.line(QPointF(0, 0), QPointF(W, 0), black);
    surface.line(QPointF(0, 0), QPointF(0, H), black);
    surface.currentX = 0;
    surface.currentY = 0;
    surface.setForeColor(black);

    surface.setFont(d->axisXFont->toQFont());
    const qint32 T = *tickX;
    for (const qint32 i : *ticksX) {
        surface.line(QPointF(i, T / 2), QPointF(i, -T), black);
        surface.currentX = i - 10;
        surface.currentY = -T - 20;
        surface.print(printedNumber(i / 10.0));
    }
    // One text line below the last X label's top, less 20: the reference for the X caption.
    const double y0 = surface.currentY - 20;

    surface.setFont(d->axisYFont->toQFont());
    const qint32 u = *tickY;
    // Every Y label starts at the same x, sized for the widest label (the extent's own text).
    const double labelX = u / 2 - (widest + *widestRounded / 5);
    for (const qint32 j : *ticksY) {
        surface.line(QPointF(-u, j), QPointF(u / 2, j), black);
        surface.currentX = labelX;
        surface.currentY = j;
        surface.print(printedNumber(j / 10.0));
    }

    const double r = *markerRadius;
    const QColor pointColor = colorFromOle(d->pointColor, palette());
    const QChar decimalPoint = QLocale().decimalPoint().at(0);
    CaptionMeasure measure(d->labelFont, this);

    // One marker is drawn once into a sprite and stamped on every point: the same pixels as drawing each
    // marker on its own, at a fraction of the cost for large series.
    QImage sprite;
    QPoint spriteOrigin;
    if (d->showPoints) {
        const int rx = qRound(map.unitsToPixelsX(r));
        const int crossLeft = qRound(map.unitsToPixelsX(10));
        const int crossRight = qRound(map.unitsToPixelsX(14));
        const int crossHalf = qRound(std::abs(map.toPixelF(QPointF(0, 15)).y() - map.toPixelF(QPointF(0, 0)).y()));
        const int extentX = std::max({rx, crossLeft, crossRight}) + 1;
        const int extentY = std::max(rx, crossHalf) + 1;
        sprite = QImage(2 * extentX + 1, 2 * extentY + 1, QImage::Format_ARGB32_Premultiplied);
        sprite.fill(Qt::transparent);
        spriteOrigin = QPoint(extentX, extentY);
        QPainter sp(&sprite);
        sp.setRenderHint(QPainter::Antialiasing, false);
        if (d->showCrossPointMode) {
            sp.setPen(QPen(magenta, 0));
            sp.drawLine(spriteOrigin + QPoint(-crossLeft, 0), spriteOrigin + QPoint(crossRight, 0));
            sp.drawLine(spriteOrigin + QPoint(0, crossHalf), spriteOrigin + QPoint(0, -crossHalf));
        }
        sp.setPen(QPen(pointColor, 0));
        sp.setBrush(Qt::NoBrush);
        // Small extents on a large control round the radius to 0 units; the marker is then a single pixel.
        if (rx > 0)
            sp.drawEllipse(spriteOrigin, rx, rx);
        else
            sp.drawPoint(spriteOrigin);
    }

    const Qt::PenStyle lineStyle = penStyleFor(d->lineStyle);
    size_t seriesIndex = 0;
    for (const auto& s : series) {
        const std::vector<QPointF>& row = pixels[seriesIndex++];
        if (lineStyle != Qt::NoPen && row.size() > 1) {
            painter.setPen(QPen(colorFromOle(s->Color(), palette()), 0, lineStyle));
            painter.drawPolyline(row.data(), static_cast<int>(row.size()));
        }
        if (!d->showPoints)
            continue;
        size_t k = 0;
        for (const auto& p : *s->Points()) {
            const QPointF& centre = row[k++];
            painter.drawImage(QPointF(centre.x() - spriteOrigin.x(), centre.y() - spriteOrigin.y()), sprite);
            if (!withLabels)
                continue;
            PointLabel label;
            label.caption = QString::number(p->ID()) + QLatin1Char('(') +
                            generalNumber(p->X() / 10.0f, 7, decimalPoint) + QLatin1Char(':') +
                            generalNumber(p->Y() / 10.0f, 7, decimalPoint) + QLatin1Char(')');
            label.tag = QString::number(p->ID());
            const QPoint topLeft = map.toPixel(QPointF(p->X() + 20.0, p->Y() + 20.0));
            label.geometry = QRect(topLeft, QSize(measure.width(label.caption) + 1, measure.height()));
            label.visible = true;
            d->labels.push_back(std::move(label));
        }
    }

    // The X caption is centred with the width measured in the Y-axis font still in effect, then drawn in its
    // own font 10 units below the last X label.
    surface.setForeColor(colorFromOle(d->axisXCaptionColor, palette()));
    surface.currentX = W / 2.0 - surface.textWidth(d->axisXCaption) / 2;
    surface.currentY = y0 + 10;
    surface.setFont(d->axisXCaptionFont->toQFont());
    surface.print(d->axisXCaption);

    // The Y caption runs bottom to top, its start measured in the X-caption font now in effect.
    surface.currentY = *halfH / 2 - surface.textWidth(d->axisYCaption) / 2;
    surface.currentX = *negW / 8 + map.himetricX(150);
    const QColor yCaptionColor = colorFromOle(d->axisYCaptionColor, palette());
    QFont rotated(d->axisYCaptionFont->Name());
    rotated.setStyleHint(QFont::SansSerif);
    rotated.setWeight(d->axisYCaptionFont->Bold() ? QFont::Bold : QFont::Normal);
    // The size is a character cell height in pixels (ascent plus descent), not an em size.
    const int target = std::max(1, *cellHeight);
    rotated.setPixelSize(target);
    const double cell = QFontMetricsF(rotated, &d->image).height();
    if (cell > target)
        rotated.setPixelSize(std::max(1, static_cast<int>(std::floor(target * target / cell))));
    const QPoint start = map.toPixel(QPointF(surface.currentX, surface.currentY));
    painter.save();
    painter.translate(start);
    painter.rotate(-90);
    painter.setFont(rotated);
    painter.setPen(yCaptionColor);
    painter.drawText(QPoint(0, qRound(QFontMetricsF(rotated, &d->image).ascent())), d->axisYCaption);
    painter.restore();

    d->placeHeader();
    return true;
}

} // namespace tvGraph
