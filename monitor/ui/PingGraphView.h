#pragma once

#include "monitor/PingGraph.h"

#include <QWidget>

// Paints the live graph's model, twips turned into pixels at the screen's resolution.
class PingGraphView : public QWidget {
    Q_OBJECT
public:
    explicit PingGraphView(const PingGraph& graph, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    double pixelsPerTwipX() const;
    double pixelsPerTwipY() const;
    QRectF toPixels(const PingGraph::Box& box) const;
    QLineF toPixels(const PingGraph::Line& line) const;

    const PingGraph& m_graph;
};
