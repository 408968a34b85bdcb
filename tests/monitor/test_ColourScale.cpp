#include "monitor/ColourScale.h"

#include <gtest/gtest.h>

TEST(ColourScale, DefaultScaleNamesAndColoursWithStrictLevels)
{
    const ColourScale scale = ColourScale::defaults();
    EXPECT_EQ(scale.colourName(199), QStringLiteral("SALAT"));
    EXPECT_EQ(scale.barColour(199), 65280u);
    EXPECT_EQ(scale.colourName(200), QStringLiteral("GREEN"));
    EXPECT_EQ(scale.barColour(200), 49152u);
    EXPECT_EQ(scale.colourName(1999), QStringLiteral("PURPLE"));
    EXPECT_EQ(scale.colourName(2000), QStringLiteral("DARKRED"));
    EXPECT_EQ(scale.barColour(2000), 12583104u);
    EXPECT_EQ(scale.barColour(3000), 255u);
    EXPECT_EQ(scale.colourName(0), QStringLiteral("SALAT"));
}

TEST(ColourScale, ListsNeedNineNumbersAndExtraEntriesAreIgnored)
{
    QString why;
    const auto scale = ColourScale::fromLists(QStringLiteral("10;20;30;40;50;60;70;80;90;100"),
                                              QStringLiteral("1;2;3;4;5;6;7;8;9;10"), &why);
    ASSERT_TRUE(scale) << why.toStdString();
    EXPECT_EQ(scale->levels()[8], 90);
    EXPECT_EQ(scale->colourName(85), QStringLiteral("DARKRED"));
    EXPECT_EQ(scale->barColour(85), 9u);

    EXPECT_FALSE(ColourScale::fromLists(QStringLiteral("1;2;3"), QStringLiteral("1;2;3;4;5;6;7;8;9"), &why));
    EXPECT_TRUE(why.contains(QStringLiteral("PingValues")));
    EXPECT_FALSE(
        ColourScale::fromLists(QStringLiteral("1;2;3;4;x;6;7;8;9"), QStringLiteral("1;2;3;4;5;6;7;8;9"), &why));
    EXPECT_FALSE(
        ColourScale::fromLists(QStringLiteral("1;2;3;4;5;6;7;8;99999"), QStringLiteral("1;2;3;4;5;6;7;8;9"), &why));
    EXPECT_TRUE(why.startsWith(QStringLiteral("Overflow")));
    EXPECT_TRUE(ColourScale::fromLists(QStringLiteral("1;2;3;4;5;6;7;8;9"),
                                       QStringLiteral("-2147483624;2;3;4;5;6;7;8;4294967295"), &why));
}
