#pragma once

// Helpers shared by the graph suites: building series, sending pointer events, looking at pixels.

#include "Data.h"
#include "Graph.h"
#include "GraphScale.h"
#include "cData.h"
#include "cPoint.h"
#include "cPoints.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QRect>

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <utility>

namespace graphtest {

// A point assigned (x, y) in axis units, so it stores (10x, 10y).
inline std::shared_ptr<tvGraph::cPoint> point(float x, float y, qint32 id = 0, const QString& key = QString())
{
    auto p = std::make_shared<tvGraph::cPoint>();
    p->setX(x);
    p->setY(y);
    p->setID(id);
    p->Key = key;
    return p;
}

// Appends a series of the given axis-unit points to the control; IDs count up from firstId.
inline std::shared_ptr<tvGraph::cData> addSeries(tvGraph::Graph& graph,
                                                 std::initializer_list<std::pair<float, float>> xy,
                                                 tvGraph::OleColor color = 0, qint32 firstId = 1)
{
    auto points = std::make_shared<tvGraph::cPoints>();
    qint32 id = firstId;
    for (const auto& [x, y] : xy)
        points->Add(point(x, y, id++));
    auto series = graph.DataSeries()->Add(points);
    series->setColor(color);
    return series;
}

// Sends a mouse event at a position given in the control's current user coordinates.
inline void mouseAt(tvGraph::Graph& graph, QEvent::Type type, QPointF user, Qt::MouseButton button,
                    Qt::MouseButtons buttons)
{
    const QPointF pixel = graph.scaleMap().toPixelF(user);
    QMouseEvent event(type, pixel, graph.mapToGlobal(pixel), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&graph, &event);
}

inline void mouseAtPixel(tvGraph::Graph& graph, QEvent::Type type, QPointF pixel, Qt::MouseButton button,
                         Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pixel, graph.mapToGlobal(pixel), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&graph, &event);
}

inline bool isDark(QRgb c)
{
    return qGray(c) < 110;
}

inline bool sameColour(QRgb a, QColor b, int tolerance = 0)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

// Pixels in `area` (clipped to the image) that satisfy `test`.
template <class Test> int countPixels(const QImage& image, QRect area, Test test)
{
    area = area.intersected(image.rect());
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(image.pixel(x, y)))
                ++n;
    return n;
}

// Bounding box of the pixels in `area` that satisfy `test` (empty when none).
template <class Test> QRect inkBox(const QImage& image, QRect area, Test test)
{
    area = area.intersected(image.rect());
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(image.pixel(x, y)))
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

// Every test starts from the library's load state, since the extents are shared by all controls.
class GraphTest : public ::testing::Test {
protected:
    void SetUp() override { tvGraph::resetLibraryExtents(); }
    void TearDown() override { tvGraph::resetLibraryExtents(); }
};

} // namespace graphtest
