#include "monitor/PingGraph.h"

#include <gtest/gtest.h>

namespace {

const ColourScale Scale = ColourScale::defaults();

} // namespace

TEST(PingGraph, DesignShowsAtLeastFortyValuesOnTwelveGridSteps)
{
    PingGraph graph;
    EXPECT_GE(graph.slotCount() + 1, 40);
    EXPECT_EQ(graph.values().size(), graph.slotCount() + 1);
    EXPECT_EQ(graph.gridSteps(), 12);
    EXPECT_EQ(graph.topValue(), 1200);
    ASSERT_EQ(graph.labels().size(), 12);
    EXPECT_EQ(graph.labels()[0].text, QStringLiteral("100"));
    EXPECT_EQ(graph.labels()[11].text, QStringLiteral("1200"));
    const PingGraph::Design& d = graph.design();
    EXPECT_DOUBLE_EQ(graph.gridLines()[0].y1, d.lnX.y1 - 200);
    EXPECT_DOUBLE_EQ(graph.labels()[0].top, d.lnX.y1 - 200 - d.labelHeight / 2);
    EXPECT_DOUBLE_EQ(graph.bars()[3].left, d.lnY.x1 + 50 + 300);
    EXPECT_DOUBLE_EQ(graph.bars()[3].width, 50);
    EXPECT_FALSE(graph.averageLine().visible);
}

TEST(PingGraph, BarsAreTwoTwipsPerMillisecondAndCutAtTheTopLabel)
{
    PingGraph graph;
    const double baseline = graph.design().lnX.y1;
    graph.advance(150, Scale);
    const PingGraph::Box& newest = graph.bars().back();
    EXPECT_DOUBLE_EQ(newest.height, 300);
    EXPECT_DOUBLE_EQ(newest.top, baseline - 300 + graph.design().axisBorder);
    EXPECT_EQ(newest.colour, 65280);
    EXPECT_EQ(newest.text, QStringLiteral("150"));

    graph.advance(5000, Scale);
    EXPECT_DOUBLE_EQ(graph.bars().back().height, 2.0 * graph.topValue());
    EXPECT_EQ(graph.bars().back().colour, 255);

    PingGraph::Layout half;
    half.scale = 50; // twice as tall: one grid step is 50 ms
    ASSERT_EQ(graph.build(half), std::nullopt);
    graph.advance(150, Scale);
    EXPECT_DOUBLE_EQ(graph.bars().back().height, 600);
    EXPECT_EQ(graph.topValue(), 600);
}

TEST(PingGraph, AverageLeavesOutFailuresAndValuesScrollOut)
{
    PingGraph graph;
    const int n = graph.slotCount();
    int handedOver = 0;
    for (double v : {100.0, 0.0, 300.0})
        graph.advance(v, Scale, [&] { ++handedOver; });
    EXPECT_EQ(handedOver, 3);
    const PingGraph::Line& average = graph.averageLine();
    ASSERT_TRUE(average.visible);
    EXPECT_DOUBLE_EQ(average.y1, graph.design().lnX.y1 - 2 * 200.0); // the average of 100 and 300
    EXPECT_DOUBLE_EQ(graph.values()[n - 2], 100);
    EXPECT_DOUBLE_EQ(graph.values()[n], 300);

    for (int i = 0; i < n; ++i)
        graph.advance(0, Scale);
    EXPECT_DOUBLE_EQ(graph.values()[0], 300) << "after N more results it has reached the left edge";
    graph.advance(0, Scale);
    for (double v : graph.values())
        EXPECT_DOUBLE_EQ(v, 0);
    EXPECT_FALSE(graph.averageLine().visible);
}

TEST(PingGraph, DefaultBandsFillTheGraphAndTheSecondLiesAboveTheScale)
{
    PingGraph graph;
    const PingGraph::Design& d = graph.design();
    ASSERT_EQ(graph.bands().size(), 2);
    const PingGraph::Box& low = graph.bands()[0];
    EXPECT_TRUE(low.visible);
    EXPECT_DOUBLE_EQ(low.top, d.lnY.y2); // 0…1500 ms reaches past the 1200 ms top: cut there
    EXPECT_DOUBLE_EQ(low.top + low.height, d.lnX.y1);
    EXPECT_EQ(low.colour, -2147483624);
    EXPECT_FALSE(graph.bands()[1].visible); // 1500…3000 ms starts above the top
}

TEST(PingGraph, FourBandsStackFromTheBaseline)
{
    PingGraph graph;
    PingGraph::Layout layout;
    layout.backLevel = 4;
    layout.backValues = QStringLiteral("300;600;900;1500");
    layout.backColors = QStringLiteral("1;2;3;4");
    graph.advance(120, Scale);
    ASSERT_EQ(graph.build(layout), std::nullopt);
    const PingGraph::Design& d = graph.design();
    const auto& bands = graph.bands();
    ASSERT_EQ(bands.size(), 4);
    // 2400 twips for 1200 ms: 2 twips per ms.
    EXPECT_DOUBLE_EQ(bands[0].top, d.lnX.y1 - 600);
    EXPECT_DOUBLE_EQ(bands[1].top, d.lnX.y1 - 1200);
    EXPECT_DOUBLE_EQ(bands[2].top, d.lnX.y1 - 1800);
    EXPECT_DOUBLE_EQ(bands[3].top, d.lnY.y2);
    EXPECT_DOUBLE_EQ(bands[3].height, 600);
    for (const auto& band : bands)
        EXPECT_TRUE(band.visible);
    EXPECT_EQ(bands[2].colour, 3);
    EXPECT_DOUBLE_EQ(graph.values().back(), 120) << "a rebuild keeps the values";
}

TEST(PingGraph, LayoutsThatCannotBeDrawnAreRefusedAndTheOldOneStays)
{
    PingGraph graph;
    PingGraph::Layout bad;
    bad.backLevel = 3; // only two values and colours
    EXPECT_NE(graph.build(bad), std::nullopt);
    EXPECT_EQ(graph.bands().size(), 2);
    bad = {};
    bad.scale = 0;
    EXPECT_NE(graph.build(bad), std::nullopt);
    bad.scale = 5000; // 5000 × 12 does not fit 16 bits
    EXPECT_NE(graph.build(bad), std::nullopt);
    EXPECT_EQ(graph.topValue(), 1200);

    PingGraph::Layout small;
    small.scale = 200;
    ASSERT_EQ(graph.build(small), std::nullopt);
    ASSERT_EQ(graph.build(PingGraph::Layout{}), std::nullopt);
    int shown = 0;
    for (const auto& line : graph.gridLines())
        shown += line.visible;
    EXPECT_EQ(shown, 12);
}
