#include "monitor/ui/PingGraphView.h"

#include "platform/SystemColors.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr double TwipsPerInch = 1440.0;

} // namespace

PingGraphView::PingGraphView(const PingGraph& graph, QWidget* parent) : QWidget(parent), m_graph(graph)
{
    setObjectName(QStringLiteral("PingGraphView"));
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

double PingGraphView::pixelsPerTwipX() const
{
    return logicalDpiX() / TwipsPerInch;
}

double PingGraphView::pixelsPerTwipY() const
{
    return logicalDpiY() / TwipsPerInch;
}

QSize PingGraphView::sizeHint() const
{
    // Room for the newest bar, which stands a little right of the time axis' end, and for the top label.
    const PingGraph::Design& d = m_graph.design();
    const double right = d.lnY.x1 + 50 + 100.0 * (m_graph.slotCount() + 1);
    return {int(right * pixelsPerTwipX()) + 2, int((d.lnX.y1 + 120) * pixelsPerTwipY()) + 2};
}

QRectF PingGraphView::toPixels(const PingGraph::Box& box) const
{
    return {box.left * pixelsPerTwipX(), box.top * pixelsPerTwipY(), box.width * pixelsPerTwipX(),
            box.height * pixelsPerTwipY()};
}

QLineF PingGraphView::toPixels(const PingGraph::Line& line) const
{
    return {line.x1 * pixelsPerTwipX(), line.y1 * pixelsPerTwipY(), line.x2 * pixelsPerTwipX(),
            line.y2 * pixelsPerTwipY()};
}

void PingGraphView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const PingGraph::Design& d = m_graph.design();

    // Bands first: every other element stands in front of them.
    for (const PingGraph::Box& band : m_graph.bands()) {
        if (band.visible)
            painter.fillRect(toPixels(band), colorFromValue(band.colour, palette()));
    }

    painter.setPen(QPen(palette().color(QPalette::Mid), 0, Qt::DotLine));
    for (const PingGraph::Line& line : m_graph.gridLines()) {
        if (line.visible)
            painter.drawLine(toPixels(line));
    }
    painter.setPen(palette().color(QPalette::WindowText));
    QFont small = font();
    small.setPointSizeF(std::max(6.0, font().pointSizeF() * 0.8));
    painter.setFont(small);
    for (const PingGraph::Box& label : m_graph.labels()) {
        if (label.visible)
            painter.drawText(toPixels(label), Qt::AlignRight | Qt::AlignVCenter, label.text);
    }
    // The axis caption sits above the value axis.
    const QRectF caption(0, 0, d.lnY.x1 * pixelsPerTwipX() + 60, d.lnY.y2 * pixelsPerTwipY());
    painter.drawText(caption, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("P,ms"));

    for (const PingGraph::Box& bar : m_graph.bars()) {
        if (!bar.visible || bar.height <= 0)
            continue;
        const QColor colour = colorFromValue(bar.colour, palette());
        painter.setPen(colour);
        painter.setBrush(colour);
        painter.drawRect(toPixels(bar));
    }

    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.drawLine(toPixels(d.lnX));
    painter.drawLine(toPixels(d.lnY));

    const PingGraph::Line& average = m_graph.averageLine();
    if (average.visible) {
        painter.setPen(QPen(QColor(0, 0, 255), 1, Qt::DashLine));
        painter.drawLine(toPixels(average));
    }
}

void PingGraphView::mouseDoubleClickEvent(QMouseEvent* event)
{
    emit doubleClicked();
    event->accept();
}
