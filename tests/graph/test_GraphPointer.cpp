#include "GraphTestSupport.h"

#include <QLabel>

#include <gtest/gtest.h>

using namespace tvGraph;
using graphtest::addSeries;
using graphtest::mouseAt;

namespace {

// 1200 × 750 pixels over extents of 1000 × 1000: one plot unit per pixel across, two per pixel upwards, so
// pointer positions convert without rounding surprises.
class GraphPointer : public graphtest::GraphTest {
protected:
    void SetUp() override
    {
        GraphTest::SetUp();
        graph.resize(1200, 750);
        series = addSeries(graph, {{10, 20}, {25, 49}, {80, 60}, {99, 99}}, 0, 1);
        ASSERT_TRUE(graph.RefreshScale());
        ASSERT_TRUE(graph.Plot());
        ASSERT_EQ(graph.scaleMap().frame(), *plotFrame(1000, 1000));
    }
    void move(QPointF user, Qt::MouseButtons buttons = Qt::NoButton)
    {
        mouseAt(graph, QEvent::MouseMove, user, Qt::NoButton, buttons);
    }
    void press(QPointF user, Qt::MouseButton button = Qt::LeftButton)
    {
        mouseAt(graph, QEvent::MouseButtonPress, user, button, button);
    }
    void release(QPointF user, Qt::MouseButton button = Qt::LeftButton)
    {
        mouseAt(graph, QEvent::MouseButtonRelease, user, button, Qt::NoButton);
    }
    bool markerShown() const { return !graph.shpPointer()->isHidden(); }
    bool statusShown() const { return !graph.lblStatus()->isHidden(); }
    QString status() const { return graph.lblStatus()->text(); }

    Graph graph;
    std::shared_ptr<cData> series;
};

} // namespace

TEST_F(GraphPointer, HoverShowsMarkerAndWholeAxisUnits)
{
    move(QPointF(251, 491));
    EXPECT_TRUE(markerShown());
    ASSERT_TRUE(statusShown());
    EXPECT_EQ(status(), QStringLiteral("X=25; Y=49"));
    const ScaleMap map = graph.scaleMap();
    EXPECT_EQ(graph.lblStatus()->pos(), map.toPixel(QPointF(251 + 20, 491 + 20)));
    EXPECT_EQ(graph.shpPointer()->pos(), map.toPixel(QPointF(251 - map.himetricX(60), 491 + map.himetricY(50))));

    move(QPointF(500, 500)); // nothing there
    EXPECT_FALSE(markerShown());
    EXPECT_FALSE(statusShown());
}

TEST_F(GraphPointer, HoverExactlyRadiusRightOfAPointMisses)
{
    const int r = *round32(graph.scaleMap().himetricX(50));
    ASSERT_GT(r, 0);
    move(QPointF(250 + r, 490));
    EXPECT_FALSE(markerShown());
    move(QPointF(250 + r - 0.5, 490));
    EXPECT_TRUE(markerShown());
    move(QPointF(250, 490 - r));
    EXPECT_FALSE(markerShown());
}

TEST_F(GraphPointer, EarlierSeriesWinsAnOverlap)
{
    addSeries(graph, {{25, 49}}, 0, 77);
    graph.setMovePointMode(true);
    press(QPointF(250, 490));
    move(QPointF(600, 700), Qt::LeftButton);
    release(QPointF(600, 700));
    // The first series' point moved; the later one at the same place did not.
    EXPECT_EQ(series->Points()->Item(2)->X(), 600.0f);
    EXPECT_EQ(graph.DataSeries()->Item(2)->Points()->Item(1)->X(), 250.0f);
}

TEST_F(GraphPointer, DragShowsWholeUnitsAndStoresThemOnRelease)
{
    graph.setMovePointMode(true);
    press(QPointF(100, 200)); // the point stored at 100, 200
    EXPECT_TRUE(markerShown());
    ASSERT_TRUE(statusShown());
    EXPECT_EQ(status(), QStringLiteral("X=10; Y=20"));

    move(QPointF(253.7, 498.2), Qt::LeftButton);
    EXPECT_EQ(status(), QStringLiteral("X=25; Y=49"));
    // While dragging the marker's corner follows the pointer without offset.
    EXPECT_EQ(graph.shpPointer()->pos(), graph.scaleMap().toPixel(QPointF(253.7, 498.2)));
    // Passing over another point during the drag does not change the selection.
    move(QPointF(800, 600), Qt::LeftButton);
    move(QPointF(253.7, 498.2), Qt::LeftButton);

    release(QPointF(253.7, 498.2));
    const auto moved = series->Points()->Item(1);
    EXPECT_EQ(moved->X(), 250.0f);
    EXPECT_EQ(moved->Y(), 490.0f);
    EXPECT_FALSE(markerShown());
    EXPECT_FALSE(statusShown());
    // The release redrew: the label of the moved point shows its new place.
    EXPECT_EQ(graph.Label1(1).caption, QStringLiteral("1(25:49)"));
    // The extents stay until the host refreshes them.
    EXPECT_EQ(libraryExtents().axisX, 1000.0f);
}

TEST_F(GraphPointer, PressWithoutMovePointModeOnlyMarks)
{
    press(QPointF(100, 200));
    EXPECT_TRUE(markerShown());
    EXPECT_FALSE(statusShown());
    move(QPointF(300, 300), Qt::LeftButton);
    EXPECT_FALSE(statusShown());
    release(QPointF(300, 300));
    EXPECT_FALSE(markerShown());
    EXPECT_EQ(series->Points()->Item(1)->X(), 100.0f);
}

TEST_F(GraphPointer, RightButtonDoesNothing)
{
    graph.setMovePointMode(true);
    press(QPointF(100, 200), Qt::RightButton);
    EXPECT_FALSE(markerShown());
    EXPECT_FALSE(statusShown());
    release(QPointF(100, 200), Qt::RightButton);

    // Hover shows the marker; moving with the right button down leaves marker and status as they are.
    move(QPointF(800, 600));
    ASSERT_TRUE(statusShown());
    const QPoint markerAt = graph.shpPointer()->pos();
    move(QPointF(500, 500), Qt::RightButton);
    EXPECT_TRUE(markerShown());
    EXPECT_EQ(status(), QStringLiteral("X=80; Y=60"));
    EXPECT_EQ(graph.shpPointer()->pos(), markerAt);
    EXPECT_EQ(series->Points()->Item(3)->X(), 800.0f);
}

TEST_F(GraphPointer, HoveringALabelMakesItBold)
{
    ASSERT_EQ(graph.labelCount(), 5);
    const QRect third = graph.Label1(3).geometry;
    graphtest::mouseAtPixel(graph, QEvent::MouseMove, QPointF(third.center()), Qt::NoButton, Qt::NoButton);
    EXPECT_TRUE(graph.Label1(3).bold);
    for (const qsizetype i : {0, 1, 2, 4})
        EXPECT_FALSE(graph.Label1(i).bold) << i;
    EXPECT_EQ(graph.highlightedLabel(), 3);
    // Over a label the surface gets no hover: no marker.
    EXPECT_FALSE(markerShown());

    // With a button down a label stays as it is.
    const QRect second = graph.Label1(2).geometry;
    graphtest::mouseAtPixel(graph, QEvent::MouseMove, QPointF(second.center()), Qt::NoButton, Qt::RightButton);
    EXPECT_TRUE(graph.Label1(3).bold);
    EXPECT_FALSE(graph.Label1(2).bold);

    move(QPointF(500, 500)); // back on the surface
    EXPECT_FALSE(graph.Label1(3).bold);
}

TEST_F(GraphPointer, PressingALabelSelectsItForUnhighlighting)
{
    const QRect first = graph.Label1(1).geometry;
    const QRect fourth = graph.Label1(4).geometry;
    graphtest::mouseAtPixel(graph, QEvent::MouseMove, QPointF(first.center()), Qt::NoButton, Qt::NoButton);
    graphtest::mouseAtPixel(graph, QEvent::MouseButtonPress, QPointF(fourth.center()), Qt::LeftButton, Qt::LeftButton);
    graphtest::mouseAtPixel(graph, QEvent::MouseButtonRelease, QPointF(fourth.center()), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(graph.highlightedLabel(), 4);
    move(QPointF(500, 500));
    // Only the highlighted label is made normal again; label 1 keeps its bold face.
    EXPECT_TRUE(graph.Label1(1).bold);
    EXPECT_EQ(graph.highlightedLabel(), 4);
}

TEST_F(GraphPointer, HighlightedLabelGoneAfterASmallerPlot)
{
    const QRect fourth = graph.Label1(4).geometry;
    graphtest::mouseAtPixel(graph, QEvent::MouseMove, QPointF(fourth.center()), Qt::NoButton, Qt::NoButton);
    ASSERT_EQ(graph.highlightedLabel(), 4);
    series->Points()->Remove(4);
    series->Points()->Remove(3);
    ASSERT_TRUE(graph.Plot());
    ASSERT_EQ(graph.labelCount(), 3);
    move(QPointF(251, 491)); // the un-highlighting is skipped, the hover still works
    EXPECT_EQ(status(), QStringLiteral("X=25; Y=49"));
}

TEST_F(GraphPointer, DoubleClickRedraws)
{
    series->Points()->Add(graphtest::point(50, 50, 9));
    EXPECT_EQ(graph.labelCount(), 5);
    mouseAt(graph, QEvent::MouseButtonDblClick, QPointF(700, 300), Qt::LeftButton, Qt::LeftButton);
    release(QPointF(700, 300));
    EXPECT_EQ(graph.labelCount(), 6);
    EXPECT_EQ(graph.Label1(5).caption, QStringLiteral("9(50:50)"));
}

TEST_F(GraphPointer, SeriesRemovedDuringADragChangesNothing)
{
    graph.setMovePointMode(true);
    press(QPointF(100, 200));
    graph.DataSeries()->Clear();
    release(QPointF(300, 300));
    EXPECT_FALSE(markerShown());
    EXPECT_EQ(series->Points()->Item(1)->X(), 100.0f);
    // A new drag works again: the drag flag was cleared.
    series = addSeries(graph, {{10, 20}});
    press(QPointF(100, 200));
    release(QPointF(300, 300));
    EXPECT_EQ(series->Points()->Item(1)->X(), 300.0f);
}
