#include "analysis/settings/tvColorTab.h"

#include "analysis/settings/ColorSwatch.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr qint64 rgb(int r, int g, int b)
{
    return r | (g << 8) | (b << 16);
}

// Twips to the control's logical pixels.
QPoint px(int xTwips, int yTwips)
{
    return QPoint(xTwips / 15, yTwips / 15);
}

} // namespace

TEST(tvColorTabTest, SwatchesAreNumberedDownEachColumnWithTheirColours)
{
    tvColorTab tab;
    EXPECT_EQ(tab.size(), QSize(130, 94));
    EXPECT_EQ(tab.swatch(0)->value(), rgb(255, 192, 192));
    EXPECT_EQ(tab.swatch(1)->value(), rgb(255, 128, 128)); // row 1 of column 0
    EXPECT_EQ(tab.swatch(5)->value(), rgb(255, 224, 192)); // row 0 of column 1
    EXPECT_EQ(tab.swatch(13)->value(), rgb(192, 192, 0));  // column 2, row 3
    EXPECT_EQ(tab.swatch(22)->value(), rgb(0, 255, 255));  // column 4, row 2
    EXPECT_EQ(tab.swatch(34)->value(), rgb(128, 0, 128));
    EXPECT_EQ(tab.findChildren<ColorSwatch*>().size(), 35);
    EXPECT_EQ(tab.swatch(5)->geometry(), QRect(px(315, 45), QSize(17, 17)));
    EXPECT_EQ(tab.swatch(0)->width(), 250 / 15);
}

TEST(tvColorTabTest, HitTestIncludesBothEdgesAndMissesTheGaps)
{
    EXPECT_EQ(tvColorTab::swatchAt(45, 45), 0);
    EXPECT_EQ(tvColorTab::swatchAt(300, 300), 0); // right and bottom edges belong to the swatch
    EXPECT_EQ(tvColorTab::swatchAt(301, 45), -1); // gap between columns 0 and 1
    EXPECT_EQ(tvColorTab::swatchAt(315, 45), 5);
    EXPECT_EQ(tvColorTab::swatchAt(45, 310), -1); // gap between rows 0 and 1
    EXPECT_EQ(tvColorTab::swatchAt(45, 315), 1);
    EXPECT_EQ(tvColorTab::swatchAt(10, 10), -1);     // margin
    EXPECT_EQ(tvColorTab::swatchAt(1665, 1125), 34); // last column, last row
    EXPECT_EQ(tvColorTab::swatchAt(1921, 1125), -1); // past the last column
}

TEST(tvColorTabTest, DoubleClickOnASwatchChoosesItsColourAndMarksIt)
{
    tvColorTab tab;
    QSignalSpy selected(&tab, &tvColorTab::ColorSelected);
    QTest::mouseDClick(&tab, Qt::LeftButton, {}, px(315 + 120, 45 + 120)); // middle of swatch 5
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.at(0).at(0).toLongLong(), rgb(255, 224, 192));
    EXPECT_EQ(tab.ChooseColor(), rgb(255, 224, 192));
    EXPECT_TRUE(tab.swatch(5)->isSelected());
    EXPECT_FALSE(tab.swatch(0)->isSelected());
}

TEST(tvColorTabTest, DoubleClickInAGapReportsTheUnchangedColour)
{
    tvColorTab tab;
    tab.setChooseColor(rgb(0, 0, 255));
    QSignalSpy selected(&tab, &tvColorTab::ColorSelected);
    QTest::mouseDClick(&tab, Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mouseDClick(&tab, Qt::LeftButton, {}, QPoint(20, 6)); // between columns 0 and 1
    ASSERT_EQ(selected.size(), 2);
    EXPECT_EQ(selected.at(0).at(0).toLongLong(), rgb(0, 0, 255));
    EXPECT_EQ(selected.at(1).at(0).toLongLong(), rgb(0, 0, 255));
    EXPECT_EQ(tab.ChooseColor(), rgb(0, 0, 255));
}

TEST(tvColorTabTest, ChooseColorDefaultsToGreenMarksMatchingSwatchesAndPersists)
{
    tvColorTab tab;
    EXPECT_EQ(tab.ChooseColor(), 65280);
    EXPECT_TRUE(tab.swatch(17)->isSelected()); // 0,255,0: column 3, row 2
    QSignalSpy changed(&tab, &tvColorTab::chooseColorChanged);
    tab.setChooseColor(rgb(255, 0, 0));
    EXPECT_EQ(changed.size(), 1);
    EXPECT_TRUE(tab.swatch(2)->isSelected());
    int marked = 0;
    for (int i = 0; i < tvColorTab::Count; ++i)
        marked += tab.swatch(i)->isSelected() ? 1 : 0;
    EXPECT_EQ(marked, 1);

    QVariantHash bag;
    tab.writeProperties(bag);
    EXPECT_EQ(bag.value(QStringLiteral("ChooseColor")).toLongLong(), rgb(255, 0, 0));
    tvColorTab restored;
    restored.readProperties(bag);
    EXPECT_EQ(restored.ChooseColor(), rgb(255, 0, 0));
    restored.readProperties(QVariantHash());
    EXPECT_EQ(restored.ChooseColor(), 65280);
}
