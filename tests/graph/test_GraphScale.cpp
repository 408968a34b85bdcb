#include "GraphTestSupport.h"

#include <QColor>
#include <QPalette>

#include <gtest/gtest.h>

using namespace tvGraph;
using graphtest::addSeries;
using graphtest::point;

class GraphScaling : public graphtest::GraphTest {};

TEST(GraphArithmetic, RoundingTiesToEvenWithinTheIntegerRange)
{
    EXPECT_EQ(round32(2.5), 2);
    EXPECT_EQ(round32(3.5), 4);
    EXPECT_EQ(round32(-2.5), -2);
    EXPECT_EQ(round32(-2.6), -3);
    EXPECT_EQ(round32(2147483647.0), 2147483647);
    EXPECT_FALSE(round32(2147483648.0));
    EXPECT_EQ(round16(32767.4), 32767);
    EXPECT_FALSE(round16(32767.6));
    EXPECT_FALSE(round16(-32769.0));
}

TEST(GraphArithmetic, AxisExtentRoundsUpToTheNextHundred)
{
    EXPECT_EQ(axisExtentFor(250), 300.0f);
    EXPECT_EQ(axisExtentFor(300), 400.0f);
    EXPECT_EQ(axisExtentFor(0), 100.0f);
    EXPECT_EQ(axisExtentFor(100), 200.0f);
    EXPECT_EQ(axisExtentFor(49.9f), 100.0f);
    EXPECT_EQ(axisExtentFor(50.5f), 100.0f); // round32 first: 50
    EXPECT_EQ(axisExtentFor(99.5f), 200.0f); // 100 after rounding to even
    EXPECT_FALSE(axisExtentFor(3e9f));
}

TEST(GraphArithmetic, ScalePropertiesAndPlotFrame)
{
    EXPECT_EQ(scaleWidthFor(1000), 1200.0f);
    EXPECT_EQ(scaleHeightFor(1000), -1500.0f);
    EXPECT_EQ(scaleWidthFor(300), 360.0f);
    EXPECT_EQ(scaleHeightFor(300), -450.0f);

    // Left margin W/8, top margin H/6, bottom margin H/3, right margin 3W/40.
    const auto frame = plotFrame(1000, 600);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->left, -125.0);
    EXPECT_EQ(frame->top, 700.0);
    EXPECT_EQ(frame->width, 1200.0);
    EXPECT_EQ(frame->height, -900.0);
    EXPECT_DOUBLE_EQ(frame->left + frame->width, 1075.0);
    EXPECT_DOUBLE_EQ(frame->top + frame->height, -200.0);
    // Integer divisions truncate toward zero: R32(-300) div 8 = -37, 300 div 6 = 50.
    const auto odd = plotFrame(300, 300);
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->left, -37.0);
    EXPECT_EQ(odd->top, 350.0);
}

TEST(GraphArithmetic, ScaleMapRoundTripsAndConvertsHimetric)
{
    const ScaleMap map(*plotFrame(1000, 1000), QSizeF(1200, 750), 96, 96);
    EXPECT_EQ(map.toPixelF(QPointF(-125, 1166)), QPointF(0, 0));
    EXPECT_EQ(map.toPixel(QPointF(0, 0)), QPoint(125, 583));
    const QPointF user = map.toUser(map.toPixelF(QPointF(253.7, 498.2)));
    EXPECT_NEAR(user.x(), 253.7, 1e-9);
    EXPECT_NEAR(user.y(), 498.2, 1e-9);
    // 2540 HIMETRIC are one inch: 96 pixels, 96 units along x (1 unit a pixel) and 192 along y (2 a pixel).
    EXPECT_DOUBLE_EQ(map.himetricX(2540), 96.0);
    EXPECT_DOUBLE_EQ(map.himetricY(2540), 192.0);
    EXPECT_GT(map.himetricY(60), 0.0); // magnitudes, although y runs upwards
    EXPECT_EQ(round32(map.himetricX(50)), 2);

    const CoordinateFrame twips = twipsFrame(QSizeF(100, 50), 96, 96);
    EXPECT_EQ(twips.width, 1500.0);
    EXPECT_EQ(twips.height, 750.0);
}

TEST(GraphArithmetic, TicksEveryHundredUpToTheExtent)
{
    EXPECT_EQ(*tickPositions(200), (std::vector<qint32>{100, 200}));
    EXPECT_EQ(tickPositions(100)->size(), 1u);
    EXPECT_EQ(tickPositions(1000)->back(), 1000);
    EXPECT_FALSE(tickPositions(32800)); // the 16-bit limit of the tick loop
}

TEST(GraphArithmetic, GeneralNumberFormat)
{
    EXPECT_EQ(generalNumber(12.5f, 7), QStringLiteral("12.5"));
    EXPECT_EQ(generalNumber(40, 7), QStringLiteral("40"));
    EXPECT_EQ(generalNumber(0, 7), QStringLiteral("0"));
    EXPECT_EQ(generalNumber(1.0f / 3.0f, 7), QStringLiteral("0.3333333"));
    EXPECT_EQ(generalNumber(0.1f, 7), QStringLiteral("0.1")); // Single precision, not 0.100000001
    EXPECT_EQ(generalNumber(-2.25, 15), QStringLiteral("-2.25"));
    EXPECT_EQ(generalNumber(1e20, 15), QStringLiteral("1E+20"));
    EXPECT_EQ(generalNumber(12345678.0f, 7), QStringLiteral("1.234568E+07"));
    EXPECT_EQ(generalNumber(1234567, 15), QStringLiteral("1234567")); // no thousands separator
    EXPECT_EQ(generalNumber(12.5, 7, QLatin1Char(',')), QStringLiteral("12,5"));
    // Printed numbers carry a blank for the sign and a trailing blank.
    EXPECT_EQ(printedNumber(10), QStringLiteral(" 10 "));
    EXPECT_EQ(printedNumber(-2.5), QStringLiteral("-2.5 "));
}

TEST(GraphArithmetic, ColourValues)
{
    QPalette palette;
    palette.setColor(QPalette::ToolTipBase, QColor(1, 2, 3));
    palette.setColor(QPalette::Button, QColor(4, 5, 6));
    EXPECT_EQ(colorFromOle(0x00FF8040, palette), QColor(0x40, 0x80, 0xFF));
    EXPECT_EQ(colorFromOle(static_cast<OleColor>(-2147483624), palette), QColor(1, 2, 3));
    EXPECT_EQ(colorFromOle(0x8000000F, palette), QColor(4, 5, 6));
    EXPECT_EQ(oleFromRgb(128, 0, 128), 0x800080u);
}

TEST_F(GraphScaling, RefreshScaleTakesTheMaximaOfAllSeries)
{
    Graph graph;
    addSeries(graph, {{25, 3}, {10, 29.9f}});
    addSeries(graph, {{4, 30}});
    graph.clearChangedProperties();
    ASSERT_TRUE(graph.RefreshScale());
    const LibraryExtents& e = libraryExtents();
    EXPECT_EQ(e.dataMaxX, 250.0f);
    EXPECT_EQ(e.dataMaxY, 300.0f);
    EXPECT_EQ(e.axisX, 300.0f);
    EXPECT_EQ(e.axisY, 400.0f);
    EXPECT_EQ(graph.GraphScaleWidth(), 360.0f);
    EXPECT_EQ(graph.GraphScaleHeight(), -600.0f);
    EXPECT_TRUE(graph.isPropertyChanged(QStringLiteral("GraphScaleWidth")));
    EXPECT_TRUE(graph.isPropertyChanged(QStringLiteral("GraphScaleHeight")));
}

TEST_F(GraphScaling, EmptyAndNegativeGraphsGetExtentsOfOneHundred)
{
    Graph graph;
    ASSERT_TRUE(graph.RefreshScale());
    EXPECT_EQ(libraryExtents().axisX, 100.0f);
    EXPECT_EQ(libraryExtents().axisY, 100.0f);
    addSeries(graph, {{-5, -7}, {-50, -2}});
    ASSERT_TRUE(graph.RefreshScale());
    EXPECT_EQ(libraryExtents().dataMaxX, 0.0f); // negative points never lower the maxima below 0
    EXPECT_EQ(libraryExtents().axisX, 100.0f);
    EXPECT_EQ(libraryExtents().axisY, 100.0f);
}

TEST_F(GraphScaling, ExtentsAreSharedByEveryControl)
{
    Graph first;
    Graph second;
    addSeries(first, {{90, 10}});
    ASSERT_TRUE(first.RefreshScale());
    ASSERT_TRUE(second.RefreshScale()); // an empty graph sets the shared extents back to 100
    EXPECT_EQ(libraryExtents().axisX, 100.0f);
    // Plot of the first control now uses the second's extents: the library keeps one set.
    ASSERT_TRUE(first.Plot());
    EXPECT_EQ(first.scaleMap().frame(), *plotFrame(100, 100));
}

TEST_F(GraphScaling, RefreshScaleOverflowsBeyondTheSeriesLimit)
{
    Graph graph;
    auto points = std::make_shared<cPoints>();
    for (int i = 0; i < 32767; ++i)
        graph.DataSeries()->Add(points);
    GraphError error;
    EXPECT_FALSE(graph.RefreshScale(&error));
    EXPECT_EQ(error.code(), ErrorCode::Overflow);
    EXPECT_EQ(libraryExtents().axisX, 0.0f); // unchanged
}

TEST_F(GraphScaling, HitTestIsStrictAndFirstMatchWins)
{
    Graph graph;
    auto first = addSeries(graph, {{10, 10}, {25, 49}}, 0, 1);
    addSeries(graph, {{25, 49}}, 0, 3);
    HitResult hit;
    ASSERT_TRUE(hitTest(*graph.DataSeries(), 252.0f, 490.0f, 2.0f, &hit));
    EXPECT_EQ(hit.point->ID(), -1); // exactly r to the right is outside
    EXPECT_EQ(hit.pointPosition, 0);

    ASSERT_TRUE(hitTest(*graph.DataSeries(), 251.9f, 488.1f, 2.0f, &hit));
    EXPECT_EQ(hit.point->ID(), 2); // the earlier series wins over series 2's point at the same place
    EXPECT_EQ(hit.seriesPosition, 1);
    EXPECT_EQ(hit.pointPosition, 2);
    EXPECT_EQ(hit.point->X(), 2500.0f); // the copy went through the setters
    EXPECT_EQ(hit.point->Y(), 4900.0f);
    EXPECT_NE(hit.point, first->Points()->Item(2)); // a copy, not the point itself

    // A miss leaves the positions as the caller had them.
    HitResult keep;
    keep.pointPosition = 7;
    keep.seriesPosition = 8;
    ASSERT_TRUE(hitTest(*graph.DataSeries(), 500.0f, 500.0f, 2.0f, &keep));
    EXPECT_EQ(keep.point->ID(), -1);
    EXPECT_EQ(keep.pointPosition, 7);
    EXPECT_EQ(keep.seriesPosition, 8);
}
