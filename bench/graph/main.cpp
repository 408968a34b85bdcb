// Timing of the graph control offscreen: a 1200 × 800 control with one large series, markers and labels.
// Prints name: value lines (milliseconds or microseconds, medians).

#include "Data.h"
#include "Graph.h"
#include "GraphScale.h"
#include "cData.h"
#include "cPoint.h"
#include "cPoints.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

using namespace tvGraph;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// A ping-like trace: X climbs steadily, Y wanders; the extents stay within the 16-bit tick limit.
void fill(Graph& graph, int count)
{
    graph.DataSeries()->Clear();
    auto points = std::make_shared<cPoints>();
    for (int i = 0; i < count; ++i) {
        auto p = std::make_shared<cPoint>();
        p->setID(i + 1);
        p->setX(static_cast<float>(i) * 3000.0f / static_cast<float>(count));
        p->setY(static_cast<float>(1500 + 1200 * std::sin(i * 0.01) + (i % 37) * 5));
        points->Add(p);
    }
    graph.DataSeries()->Add(points)->setColor(0x0000C0);
}

double timePlots(Graph& graph, int rounds)
{
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        if (!graph.Plot()) {
            std::fprintf(stderr, "Plot failed\n");
            return -1;
        }
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    return median(ms);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    Graph graph;
    graph.resize(1200, 800);
    graph.show();
    QApplication::processEvents();
    graph.setShowPoints(true);
    graph.setShowLabels(true);
    graph.setShowCrossPointMode(true);

    const int count = 32766;
    fill(graph, count);
    std::vector<double> refresh;
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer t;
        t.start();
        graph.RefreshScale();
        refresh.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("points: %d\n", count);
    std::printf("refresh_ms: %.3f\n", median(refresh));
    std::printf("plot_ms: %.3f\n", timePlots(graph, 10));
    std::printf("labels: %lld\n", static_cast<long long>(graph.labelCount() - 1));

    // A repaint of the shown control: the picture plus every point label painted above it.
    std::vector<double> paint;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        graph.repaint();
        paint.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("repaint_ms: %.3f\n", median(paint));

    // Hover where no point is, so every hit test walks all points (and the label search all labels).
    const QPointF empty = graph.scaleMap().toPixelF(QPointF(-50, -50));
    std::vector<double> hover;
    for (int i = 0; i < 200; ++i) {
        QMouseEvent move(QEvent::MouseMove, empty + QPointF(i % 3, 0), graph.mapToGlobal(empty), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QElapsedTimer t;
        t.start();
        QApplication::sendEvent(&graph, &move);
        hover.push_back(t.nsecsElapsed() / 1e3);
    }
    std::printf("hit_test_us: %.3f\n", median(hover));

    fill(graph, 1000);
    graph.RefreshScale();
    std::printf("plot_1000_ms: %.3f\n", timePlots(graph, 10));
    return 0;
}
