// A small host of the graph control: two series with captions, markers and labels, saved as a PNG.
// Usage: tvgraph_demo [output.png]   (runs offscreen unless QT_QPA_PLATFORM says otherwise)

#include "Data.h"
#include "Graph.h"
#include "cData.h"
#include "cPoint.h"
#include "cPoints.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/tvgraph_demo.png");

    using namespace tvGraph;
    Graph graph;
    graph.resize(900, 600);
    graph.setHeaderCaption(QStringLiteral("Round trip by minute"));
    graph.setTopCaption(QStringLiteral("  gateway and name server  "));
    graph.setAxisXCaption(QStringLiteral("Second"));
    graph.setAxisYCaption(QStringLiteral("Round trip, ms"));
    graph.setShowCrossPointMode(true);
    graph.setPointColor(oleFromRgb(0, 0, 255));

    const float gateway[][2] = {{5, 12}, {15, 18.5f}, {25, 9}, {35, 22}, {45, 14}, {55, 17}};
    const float server[][2] = {{5, 31}, {15, 27}, {25, 38.5f}, {35, 33}, {45, 41}, {55, 29}};
    qint32 id = 1;
    for (const auto* values : {&gateway, &server}) {
        auto points = std::make_shared<cPoints>();
        for (const auto& v : *values) {
            auto p = std::make_shared<cPoint>();
            p->setID(id++);
            p->setX(v[0]);
            p->setY(v[1]);
            points->Add(p);
        }
        const auto series = graph.DataSeries()->Add(points);
        series->setColor(values == &gateway ? oleFromRgb(0, 128, 0) : oleFromRgb(200, 0, 0));
    }

    GraphError error;
    if (!graph.RefreshScale(&error) || !graph.Plot(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error.text()));
        return 1;
    }
    // grab() paints the picture together with the header and point labels above it.
    if (!graph.grab().save(output)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("%s\n", qPrintable(output));
    return 0;
}
