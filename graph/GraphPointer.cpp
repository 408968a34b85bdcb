// Pointer interaction: hover status and marker, dragging points, point label highlighting, double-click.

#include "Graph.h"

#include "Data.h"
#include "GraphPrivate.h"
#include "cData.h"
#include "cPoint.h"
#include "cPoints.h"

#include <QMouseEvent>

#include <cmath>

namespace tvGraph {

namespace {

// "X=…; Y=…" from two values already in whole axis units.
QString statusText(qint32 x, qint32 y)
{
    return QStringLiteral("X=") + QString::number(x) + QStringLiteral("; Y=") + QString::number(y);
}

// The pointer position as whole axis units: round32(position) div 10.
bool axisUnits(QPointF user, qint32* x, qint32* y)
{
    const auto rx = round32(user.x());
    const auto ry = round32(user.y());
    if (!rx || !ry)
        return false;
    *x = *rx / 10;
    *y = *ry / 10;
    return true;
}

} // namespace

bool Graph::Private::runHitTest(QPointF user, HitResult* hit) const
{
    const auto radius = round32(q->scaleMap().himetricX(50));
    if (!radius)
        return false;
    // An error (a collection beyond the 16-bit limits) ends the handler that asked, changing nothing.
    return hitTest(*dataSeries, static_cast<float>(user.x()), static_cast<float>(user.y()), static_cast<float>(*radius),
                   hit);
}

void Graph::Private::placeMarker(QPointF user)
{
    const ScaleMap map = q->scaleMap();
    // Left of and above the pointer (y grows upwards in the plot) by the marker's half size, so the shape
    // sits on the point.
    const QPointF corner(user.x() - map.himetricX(60), user.y() + map.himetricY(50));
    pointer->move(map.toPixel(corner));
    pointer->raise();
    pointer->show();
}

void Graph::Private::placeStatus(QPointF user, const QString& caption)
{
    status->setText(caption);
    status->adjustSize();
    status->move(q->scaleMap().toPixel(QPointF(user.x() + 20, user.y() + 20)));
    status->raise();
    status->show();
}

void Graph::Private::surfacePress(Qt::MouseButton button, QPointF user)
{
    if (button != Qt::LeftButton)
        return;
    HitResult hit;
    hit.pointPosition = selectedPointPosition;
    hit.seriesPosition = selectedSeriesPosition;
    if (!runHitTest(user, &hit))
        return;
    selectedPoint = hit.point;
    if (selectedPoint->ID() == -1)
        return;
    selectedPointPosition = hit.pointPosition;
    selectedSeriesPosition = hit.seriesPosition;
    placeMarker(user);
    if (movePointMode) {
        qint32 x = 0;
        qint32 y = 0;
        if (!axisUnits(user, &x, &y))
            return;
        placeStatus(user, statusText(x, y));
        dragging = true;
    }
}

void Graph::Private::surfaceMove(Qt::MouseButtons buttons, QPointF user)
{
    if (highlighted >= 0 && static_cast<size_t>(highlighted) < labels.size())
        setLabelBold(highlighted, false);
    if (buttons == Qt::LeftButton) {
        if (!dragging)
            return;
        qint32 x = 0;
        qint32 y = 0;
        if (!axisUnits(user, &x, &y))
            return;
        placeStatus(user, statusText(x, y));
        // While dragging the marker follows the pointer with its corner, without the hover offset.
        pointer->move(q->scaleMap().toPixel(user));
        return;
    }
    if (buttons == Qt::RightButton)
        return;
    HitResult hit;
    if (!runHitTest(user, &hit))
        return;
    if (hit.point->ID() == -1) {
        pointer->hide();
        status->hide();
        return;
    }
    placeMarker(user);
    // The hit copy holds ten times the stored values, hence 100 to reach whole axis units.
    const auto x = round32(hit.point->X());
    const auto y = round32(hit.point->Y());
    if (!x || !y)
        return;
    placeStatus(user, statusText(*x / 100, *y / 100));
}

void Graph::Private::surfaceRelease(Qt::MouseButton button, QPointF user)
{
    if (button != Qt::LeftButton)
        return;
    const bool wasDragging = dragging;
    dragging = false;
    status->hide();
    pointer->hide();
    if (!wasDragging)
        return;
    // The positions were taken at the press; if the host removed the series meanwhile, nothing changes.
    const auto series = dataSeries->Item(QVariant(static_cast<int>(selectedSeriesPosition)));
    const auto points = series ? series->Points() : nullptr;
    const auto point = points ? points->Item(QVariant(static_cast<int>(selectedPointPosition))) : nullptr;
    qint32 x = 0;
    qint32 y = 0;
    if (!point || !axisUnits(user, &x, &y))
        return;
    // Through the setters: the point snaps to the whole axis units the status showed (stored ×10).
    if (!point->setX(static_cast<float>(x)) || !point->setY(static_cast<float>(y)))
        return;
    q->Plot();
}

void Graph::Private::labelPress(qsizetype index)
{
    highlighted = static_cast<qint16>(index);
}

void Graph::Private::labelMove(Qt::MouseButtons buttons, qsizetype index)
{
    if (buttons == Qt::LeftButton || buttons == Qt::RightButton)
        return;
    for (size_t i = 0; i < labels.size(); ++i)
        setLabelBold(static_cast<qsizetype>(i), static_cast<qsizetype>(i) == index);
    highlighted = static_cast<qint16>(index);
}

qsizetype Graph::Private::labelAt(QPointF pixel) const
{
    const QPoint at(static_cast<int>(std::floor(pixel.x())), static_cast<int>(std::floor(pixel.y())));
    // The newest label lies on top, so the search runs from the highest index down.
    for (size_t i = labels.size(); i-- > 1;) {
        if (labels[i].visible && labels[i].geometry.contains(at))
            return static_cast<qsizetype>(i);
    }
    return 0;
}

void Graph::Private::setLabelBold(qsizetype index, bool bold)
{
    PointLabel& label = labels[static_cast<size_t>(index)];
    if (label.bold == bold)
        return;
    label.bold = bold;
    if (label.visible) {
        // Bold text runs a little wider than the normal-weight box it was measured in.
        const QRect g = label.geometry;
        q->update(g.adjusted(-1, -1, g.width() / 4 + 2, 1));
    }
}

void Graph::mousePressEvent(QMouseEvent* event)
{
    const QPointF pixel = event->position();
    if (d->capture == Private::Capture::None) {
        d->captureLabel = d->labelAt(pixel);
        d->capture = d->captureLabel > 0 ? Private::Capture::Label : Private::Capture::Surface;
    }
    if (d->capture == Private::Capture::Label)
        d->labelPress(d->captureLabel);
    else
        d->surfacePress(event->button(), scaleMap().toUser(pixel));
}

void Graph::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF pixel = event->position();
    if (d->capture == Private::Capture::Label) {
        d->labelMove(event->buttons(), d->captureLabel);
        return;
    }
    if (d->capture == Private::Capture::None) {
        const qsizetype label = d->labelAt(pixel);
        if (label > 0) {
            d->labelMove(event->buttons(), label);
            return;
        }
    }
    d->surfaceMove(event->buttons(), scaleMap().toUser(pixel));
}

void Graph::mouseReleaseEvent(QMouseEvent* event)
{
    const Private::Capture target = d->capture;
    if (event->buttons() == Qt::NoButton)
        d->capture = Private::Capture::None;
    if (target != Private::Capture::Label)
        d->surfaceRelease(event->button(), scaleMap().toUser(event->position()));
}

void Graph::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double-click only redraws; a click on a point label does nothing.
    if (d->capture == Private::Capture::None) {
        d->captureLabel = d->labelAt(event->position());
        d->capture = d->captureLabel > 0 ? Private::Capture::Label : Private::Capture::Surface;
    }
    if (d->capture != Private::Capture::Label)
        Plot(); // before the first RefreshScale this refuses and draws nothing
}

} // namespace tvGraph
