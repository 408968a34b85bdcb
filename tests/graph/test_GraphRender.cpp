#include "GraphFont.h"
#include "GraphTestSupport.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QLocale>
#include <QPixmap>

#include <gtest/gtest.h>

using namespace tvGraph;
using graphtest::addSeries;
using graphtest::countPixels;
using graphtest::GraphTest;
using graphtest::inkBox;
using graphtest::isDark;
using graphtest::sameColour;

namespace {

constexpr OleColor Red = 0x0000FF;
constexpr OleColor Blue = 0xFF0000;

class GraphRender : public GraphTest {
protected:
    void SetUp() override
    {
        GraphTest::SetUp();
        QLocale::setDefault(QLocale::c());
        graph.resize(600, 400);
    }
    void TearDown() override
    {
        QLocale::setDefault(QLocale::system());
        GraphTest::TearDown();
    }
    void plot()
    {
        GraphError error;
        ASSERT_TRUE(graph.RefreshScale(&error)) << error.text().toStdString();
        ASSERT_TRUE(graph.Plot(&error)) << error.text().toStdString();
        image = graph.GraphImage().convertToFormat(QImage::Format_RGB32);
        map = graph.scaleMap();
        // GRAPH_TEST_DUMP=folder keeps each rendered picture for a look when a pixel check fails.
        const QString dump = qEnvironmentVariable("GRAPH_TEST_DUMP");
        if (!dump.isEmpty())
            image.save(dump + QLatin1Char('/') +
                       QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                       QStringLiteral(".png"));
    }
    QPoint px(double x, double y) const { return map.toPixel(QPointF(x, y)); }
    int himetricY(double h) const { return *round32(map.himetricY(h)); }
    int himetricX(double h) const { return *round32(map.himetricX(h)); }
    QColor background() const { return graph.palette().color(QPalette::Button); }

    Graph graph;
    QImage image;
    ScaleMap map;
};

} // namespace

TEST_F(GraphRender, AxesAndTicksLieWhereTheArithmeticPutsThem)
{
    graph.setShowPoints(false);
    addSeries(graph, {{10, 10}}); // data maximum 100 → extents 200 with ticks 10 and 20
    plot();
    EXPECT_EQ(map.frame(), *plotFrame(200, 200));
    const QPoint origin = px(0, 0);
    const QPoint endX = px(200, 0);
    const QPoint endY = px(0, 200);
    for (int x = origin.x() + 1; x < endX.x(); ++x)
        ASSERT_TRUE(sameColour(image.pixel(x, origin.y()), Qt::black)) << "x axis at " << x;
    for (int y = endY.y() + 1; y < origin.y(); ++y)
        ASSERT_TRUE(sameColour(image.pixel(origin.x(), y), Qt::black)) << "y axis at " << y;
    // Nothing of the axis runs on beyond its extent.
    EXPECT_TRUE(sameColour(image.pixel(endX.x() + 3, origin.y()), background()));

    const int T = himetricY(60);
    for (const int i : {100, 200}) {
        const QPoint top = px(i, T / 2);
        const QPoint bottom = px(i, -T);
        for (int y = top.y(); y < bottom.y(); ++y)
            ASSERT_TRUE(sameColour(image.pixel(top.x(), y), Qt::black)) << "x tick " << i << " at " << y;
        EXPECT_TRUE(sameColour(image.pixel(top.x(), bottom.y() + 2), background()));
        EXPECT_TRUE(sameColour(image.pixel(top.x() - 2, bottom.y() - 1), background()));
        // The number hangs 20 units below the tick's lower end, starting 10 units left of it.
        const QPoint label = px(i - 10, -T - 20);
        EXPECT_GT(countPixels(image, QRect(label, QSize(30, 14)), isDark), 5) << "label of tick " << i;
        EXPECT_EQ(countPixels(image, QRect(px(i - 10, -T - 1), px(i + 10, -T - 19)), isDark), 0);
    }
    // No tick at 300: the extent ends at 200.
    EXPECT_EQ(countPixels(image, QRect(px(290, 5), px(310, -30)), isDark), 0);

    const int u = himetricX(80);
    for (const int j : {100, 200}) {
        const QPoint left = px(-u, j);
        const QPoint right = px(u / 2, j);
        for (int x = left.x(); x < right.x(); ++x)
            ASSERT_TRUE(sameColour(image.pixel(x, left.y()), Qt::black)) << "y tick " << j << " at " << x;
    }
    // Y numbers start left of the axis and hang below their tick.
    // (The Y caption runs in the left margin; the numbers start right of it.)
    const int afterCaption = px(map.frame().left + map.himetricX(150), 0).x() + 20;
    const QRect yLabels(QPoint(afterCaption, px(0, 100).y()), px(0, 100) + QPoint(-2, 14));
    EXPECT_GT(countPixels(image, yLabels, isDark), 5);
    EXPECT_EQ(countPixels(image, QRect(QPoint(afterCaption, px(0, 100).y() - 4), px(0, 100) + QPoint(-3, -1)), isDark),
              0);
}

TEST_F(GraphRender, SeriesLineInItsColourAndDashStyle)
{
    graph.setShowPoints(false);
    graph.setLineStyle(DashStyle::Solid);
    addSeries(graph, {{2, 15}, {18, 15}}, Red);
    plot();
    const QPoint a = px(20, 150);
    const QPoint b = px(180, 150);
    ASSERT_EQ(a.y(), b.y());
    for (int x = a.x() + 1; x < b.x(); ++x)
        ASSERT_TRUE(sameColour(image.pixel(x, a.y()), QColor(255, 0, 0))) << x;
    EXPECT_TRUE(sameColour(image.pixel((a.x() + b.x()) / 2, a.y() - 2), background()));

    graph.setLineStyle(DashStyle::Dot);
    plot();
    const int red =
        countPixels(image, QRect(a, b).adjusted(1, 0, -1, 0), [](QRgb c) { return sameColour(c, QColor(255, 0, 0)); });
    const int span = b.x() - a.x() - 1;
    EXPECT_GT(red, span / 4);
    EXPECT_LT(red, span * 3 / 4); // dotted: gaps between the dots

    graph.setLineStyle(DashStyle::Invisible);
    plot();
    EXPECT_EQ(countPixels(image, image.rect(), [](QRgb c) { return sameColour(c, QColor(255, 0, 0)); }), 0);
}

TEST_F(GraphRender, MarkersOnlyWithShowPointsAndCrossesInMagenta)
{
    graph.setPointColor(Blue);
    addSeries(graph, {{10, 10}}); // a single point: no line, only its marker
    const auto blue = [](QRgb c) { return sameColour(c, QColor(0, 0, 255)); };
    const auto magenta = [](QRgb c) { return sameColour(c, QColor(128, 0, 128)); };

    graph.setShowPoints(false);
    plot();
    EXPECT_EQ(countPixels(image, image.rect(), blue), 0);

    graph.setShowPoints(true);
    plot();
    const QPoint centre = px(100, 100);
    const int r = qRound(map.unitsToPixelsX(himetricX(50)));
    const QRect around(centre - QPoint(r + 1, r + 1), centre + QPoint(r + 1, r + 1));
    EXPECT_GT(countPixels(image, around, blue), 3);
    EXPECT_EQ(countPixels(image, image.rect(), blue), countPixels(image, around, blue));
    EXPECT_TRUE(blue(image.pixel(centre.x() + r, centre.y())));
    EXPECT_FALSE(blue(image.pixel(centre))); // an outline, not a disc
    EXPECT_EQ(countPixels(image, image.rect(), magenta), 0);

    graph.setShowCrossPointMode(true);
    plot();
    // The cross reaches 14 units right, 10 left and 15 up and down.
    EXPECT_TRUE(magenta(image.pixel(px(112, 100))));
    EXPECT_TRUE(magenta(image.pixel(px(91, 100))));
    EXPECT_TRUE(magenta(image.pixel(px(100, 113))));
    EXPECT_TRUE(magenta(image.pixel(px(100, 87))));
    EXPECT_FALSE(magenta(image.pixel(px(118, 100))));
}

TEST_F(GraphRender, PointLabelsBelongToTheMarkerPass)
{
    addSeries(graph, {{1, 1}, {2, 2}, {3, 3}});
    graph.setShowPoints(false);
    graph.setShowLabels(true);
    plot();
    EXPECT_EQ(graph.labelCount(), 1); // only the template
    EXPECT_FALSE(graph.Label1(0).visible);
    EXPECT_EQ(graph.Label1(0).caption, QStringLiteral("point label"));
}

TEST_F(GraphRender, TenLabelsForTwoSeriesOfFivePointsInDrawingOrder)
{
    constexpr OleColor Green = 0x00FF00; // light lines, so only text counts as dark below
    addSeries(graph, {{1, 10}, {2, 20}, {3, 30}, {4, 40}, {12.5f, 40}}, Green, 3);
    addSeries(graph, {{5, 1}, {6, 2}, {7, 3}, {8, 4}, {9, 5}}, Green, 100);
    plot();
    ASSERT_EQ(graph.labelCount(), 11);
    EXPECT_EQ(graph.Label1(1).caption, QStringLiteral("3(1:10)"));
    EXPECT_EQ(graph.Label1(5).caption, QStringLiteral("7(12.5:40)"));
    EXPECT_EQ(graph.Label1(5).tag, QStringLiteral("7"));
    EXPECT_EQ(graph.Label1(6).caption, QStringLiteral("100(5:1)"));
    EXPECT_EQ(graph.Label1(10).caption, QStringLiteral("104(9:5)"));
    for (qsizetype i = 1; i <= 10; ++i) {
        EXPECT_TRUE(graph.Label1(i).visible);
        EXPECT_FALSE(graph.Label1(i).bold);
    }
    // 20 units right of and 20 units above the point's centre.
    EXPECT_EQ(graph.Label1(5).geometry.topLeft(), px(125 + 20, 400 + 20));

    // The next Plot replaces them instead of adding to them.
    graph.DataSeries()->Remove(2);
    plot();
    EXPECT_EQ(graph.labelCount(), 6);

    // Labels are painted above the picture: they show in the widget, not in GraphImage.
    const QImage shown = graph.grab().toImage();
    const QRect box = graph.Label1(5).geometry;
    EXPECT_GT(countPixels(shown, box, isDark), 5);
    EXPECT_EQ(countPixels(image, box, isDark), 0);
}

TEST_F(GraphRender, LabelsFollowTheLocaleDecimalSeparator)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    addSeries(graph, {{12.5f, 40}}, 0, 7);
    plot();
    EXPECT_EQ(graph.Label1(1).caption, QStringLiteral("7(12,5:40)"));
}

TEST_F(GraphRender, YCaptionRunsBottomToTop)
{
    graph.setAxisYCaption(QStringLiteral("H........"));
    addSeries(graph, {{10, 10}});
    graph.setShowPoints(false);
    plot();
    // Where the arithmetic starts it: x at the frame's left edge plus 150 HIMETRIC, y at H/2 less half the
    // caption's width as measured in the X-caption font.
    const double captionWidth = map.pixelsToUnitsX(
        QFontMetricsF(graph.AxisXCaptionFont()->toQFont(), &image).horizontalAdvance(graph.AxisYCaption()));
    const QPoint start = px(map.frame().left + map.himetricX(150), 200 / 2 - captionWidth / 2);
    const QRect margin(0, 0, start.x() + 24, image.height());
    const QRect box = inkBox(image, margin, isDark);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_GT(box.height(), 3 * box.width()); // vertical text
    EXPECT_NEAR(box.bottom(), start.y(), 3);  // it starts at the current position and runs upwards
    EXPECT_GE(box.left(), start.x());
    // The glyphs' tops face left: the dots sit on the baseline at the right, the H spans the whole height.
    const QRect dots(box.left(), box.top(), box.width(), box.height() / 2);
    const QRect letter(box.left(), box.bottom() - box.height() / 8, box.width(), box.height() / 8);
    const QRect dotInk = inkBox(image, dots, isDark);
    ASSERT_FALSE(dotInk.isEmpty());
    EXPECT_GT(dotInk.left(), box.left() + box.width() / 2);
    EXPECT_LE(inkBox(image, letter, isDark).left(), box.left() + box.width() / 4);
}

TEST_F(GraphRender, XCaptionCentredBelowTheNumbers)
{
    graph.setAxisXCaption(QStringLiteral("WWWW"));
    graph.setAxisXCaptionColor(Red);
    addSeries(graph, {{10, 10}});
    graph.setShowPoints(false);
    plot();
    const auto red = [](QRgb c) { return qRed(c) > 150 && qGreen(c) < 100 && qBlue(c) < 100; };
    const QRect box = inkBox(image, image.rect(), red);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_NEAR((box.left() + box.right()) / 2.0, px(100, 0).x(), 8); // centred under the axis
    EXPECT_GT(box.top(), px(0, -himetricY(60) - 20).y() + 8);         // below the X numbers
}

TEST_F(GraphRender, TopCaptionOnlyWhenNotBlank)
{
    addSeries(graph, {{10, 10}});
    graph.setShowPoints(false);
    graph.setTopCaption(QStringLiteral("   "));
    plot();
    const QRect area(px(-20, 280), px(100, 200) + QPoint(0, -1));
    EXPECT_EQ(countPixels(image, area, isDark), 0);
    graph.setTopCaption(QStringLiteral("Title"));
    plot();
    const QRect box = inkBox(image, area, isDark);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_NEAR(box.left(), px(-20, 0).x(), 3);
    EXPECT_LT(box.bottom(), px(0, 220).y() + 2); // its bottom 20 units above the top of the Y axis
}

TEST_F(GraphRender, CreditLineEndsRightOfTheXExtent)
{
    addSeries(graph, {{50, 50}}); // extents 600: the top margin has room for the credit's 40 units
    graph.setShowPoints(false);
    plot();
    const QRect area(px(300, 0).x(), 0, image.width() - px(300, 0).x(), px(0, 640).y() + 1);
    const QRect box = inkBox(image, area, isDark);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_NEAR(box.right(), px(610, 0).x(), 4);
    EXPECT_NEAR(box.bottom(), px(0, 640).y(), 3);
}

TEST_F(GraphRender, FixedOffsetsFallOffTheSurfaceOfSmallExtents)
{
    // With extents of 100 the 40 units above the Y axis exceed the top margin of 16: no credit is seen.
    addSeries(graph, {{5, 5}});
    graph.setShowPoints(false);
    plot();
    EXPECT_EQ(countPixels(image, QRect(px(30, 0).x(), 0, image.width(), px(0, 100).y() - 2), isDark), 0);
}

TEST_F(GraphRender, NegativePointsAreDrawnOutsideTheAxes)
{
    graph.resize(200, 150); // at least one plot unit of marker radius on extents of 100
    graph.setPointColor(Blue);
    addSeries(graph, {{-0.5f, -2}, {-1, -1}});
    plot();
    EXPECT_EQ(map.frame(), *plotFrame(100, 100));
    const QPoint p = px(-5, -20);
    EXPECT_GT(countPixels(image, QRect(p - QPoint(4, 4), p + QPoint(4, 4)),
                          [](QRgb c) { return sameColour(c, QColor(0, 0, 255)); }),
              2);
}

TEST_F(GraphRender, PlotBeforeRefreshScaleRefusesAndDrawsNothing)
{
    addSeries(graph, {{10, 10}});
    const QImage before = graph.GraphImage();
    GraphError error;
    EXPECT_FALSE(graph.Plot(&error));
    EXPECT_EQ(error.code(), ErrorCode::InvalidPropertyValue);
    EXPECT_EQ(error.number, 380);
    EXPECT_FALSE(error.description.isEmpty());
    EXPECT_EQ(graph.GraphImage(), before);
    EXPECT_EQ(graph.labelCount(), 1);
    // A double-click in that state does nothing either.
    graphtest::mouseAtPixel(graph, QEvent::MouseButtonDblClick, QPointF(300, 200), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(graph.GraphImage(), before);
}

TEST_F(GraphRender, TooManyPointsOverflowWithoutTouchingThePicture)
{
    addSeries(graph, {{10, 10}});
    plot();
    const QImage before = graph.GraphImage();
    auto big = std::make_shared<cPoints>();
    for (int i = 0; i < 32767; ++i)
        big->Add(graphtest::point(1, 1));
    graph.DataSeries()->Add(big);
    GraphError error;
    EXPECT_FALSE(graph.Plot(&error));
    EXPECT_EQ(error.code(), ErrorCode::Overflow);
    EXPECT_EQ(graph.GraphImage(), before);
    EXPECT_EQ(graph.labelCount(), 2);

    graph.DataSeries()->Item(2)->setPoints(nullptr);
    EXPECT_FALSE(graph.Plot(&error));
    EXPECT_EQ(error.code(), ErrorCode::ObjectNotSet);
}

TEST_F(GraphRender, PictureIsShownAndKeptAcrossResize)
{
    addSeries(graph, {{10, 10}});
    graph.setShowPoints(false);
    plot();
    const QImage shown = graph.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint origin = px(0, 0);
    EXPECT_TRUE(sameColour(shown.pixel(origin + QPoint(5, 0)), Qt::black));
    graph.resize(700, 500);
    QApplication::sendPostedEvents();
    const QImage grown = graph.GraphImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(grown.size(), QSize(700, 500));
    EXPECT_TRUE(sameColour(grown.pixel(origin + QPoint(5, 0)), Qt::black)); // the old picture stays in place
}

TEST_F(GraphRender, HeaderCentredFiftyUnitsBelowTheTop)
{
    graph.setHeaderCaption(QStringLiteral("Header text"));
    addSeries(graph, {{10, 10}});
    plot();
    const QLabel* header = graph.lblHeader();
    const CoordinateFrame& f = map.frame();
    const QPoint expected = px(f.left + f.width / 2 - map.pixelsToUnitsX(header->width()) / 2, f.top - 50);
    EXPECT_EQ(header->pos(), expected);
    EXPECT_GT(header->y(), 0);
}
