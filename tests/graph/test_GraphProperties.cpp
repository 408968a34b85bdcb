#include "GraphFont.h"
#include "GraphTestSupport.h"
#include "PropertyStore.h"

#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tvGraph;

class GraphProperties : public graphtest::GraphTest {};

namespace {

void expectFont(const GraphFont& f, const char* name, float size, bool bold)
{
    EXPECT_EQ(f.Name(), QString::fromLatin1(name));
    EXPECT_EQ(f.Size(), size);
    EXPECT_EQ(f.Bold(), bold);
    EXPECT_FALSE(f.Italic());
    EXPECT_FALSE(f.Underline());
}

// Every persisted property set away from both its initial value and its read default.
void setEverything(Graph& g)
{
    g.setGraphScaleHeight(-450);
    g.setGraphScaleWidth(360);
    g.setAxisXCaption(QStringLiteral("Seconds"));
    g.setAxisYCaption(QStringLiteral("Milliseconds"));
    g.setHeaderCaption(QStringLiteral("Minute 12:03"));
    g.setConnectionString(QStringLiteral("Driver=QSQLITE;Database=/tmp/x.db"));
    g.setTableName(QStringLiteral("T"));
    g.setFieldNameID(QStringLiteral("ID"));
    g.setFieldNameAxisX(QStringLiteral("X"));
    g.setFieldNameAxisY(QStringLiteral("Y"));
    g.setAxisXCaptionColor(0x0000FF);
    g.setLineStyle(DashStyle::DashDot);
    g.setAxisXCaptionFont(std::make_shared<GraphFont>(QStringLiteral("Courier New"), 12.5f, true));
    g.setAxisYCaptionFont(std::make_shared<GraphFont>(QStringLiteral("Times New Roman"), 9.0f, false));
    auto axis = std::make_shared<GraphFont>(QStringLiteral("Verdana"), 7.0f, false);
    axis->setItalic(true);
    axis->setUnderline(true);
    g.setAxisXFont(axis);
    g.setAxisYFont(std::make_shared<GraphFont>(QStringLiteral("Tahoma"), 11.0f, true));
    g.setAxisYCaptionColor(0x00FF00);
    g.setShowLabels(false);
    g.setShowPoints(false);
    g.setMovePointMode(true);
    g.setShowCrossPointMode(true);
    g.setPointColor(0xFF0000);
    g.setShowHeaderMode(false);
    g.setFieldNameSeriesID(QStringLiteral("S"));
    g.setTopCaption(QStringLiteral("Top"));
}

void expectEverything(const Graph& g)
{
    EXPECT_EQ(g.GraphScaleHeight(), -450.0f);
    EXPECT_EQ(g.GraphScaleWidth(), 360.0f);
    EXPECT_EQ(g.AxisXCaption(), QStringLiteral("Seconds"));
    EXPECT_EQ(g.AxisYCaption(), QStringLiteral("Milliseconds"));
    EXPECT_EQ(g.HeaderCaption(), QStringLiteral("Minute 12:03"));
    EXPECT_EQ(g.lblHeader()->text(), QStringLiteral("Minute 12:03"));
    EXPECT_EQ(g.ConnectionString(), QStringLiteral("Driver=QSQLITE;Database=/tmp/x.db"));
    EXPECT_EQ(g.TableName(), QStringLiteral("T"));
    EXPECT_EQ(g.FieldNameID(), QStringLiteral("ID"));
    EXPECT_EQ(g.FieldNameAxisX(), QStringLiteral("X"));
    EXPECT_EQ(g.FieldNameAxisY(), QStringLiteral("Y"));
    EXPECT_EQ(g.AxisXCaptionColor(), 0x0000FFu);
    EXPECT_EQ(g.LineStyle(), DashStyle::DashDot);
    expectFont(*g.AxisXCaptionFont(), "Courier New", 12.5f, true);
    expectFont(*g.AxisYCaptionFont(), "Times New Roman", 9.0f, false);
    EXPECT_EQ(g.AxisXFont()->Name(), QStringLiteral("Verdana"));
    EXPECT_TRUE(g.AxisXFont()->Italic());
    EXPECT_TRUE(g.AxisXFont()->Underline());
    expectFont(*g.AxisYFont(), "Tahoma", 11.0f, true);
    EXPECT_EQ(g.AxisYCaptionColor(), 0x00FF00u);
    EXPECT_FALSE(g.ShowLabels());
    EXPECT_FALSE(g.ShowPoints());
    EXPECT_TRUE(g.MovePointMode());
    EXPECT_TRUE(g.ShowCrossPointMode());
    EXPECT_EQ(g.PointColor(), 0xFF0000u);
    EXPECT_FALSE(g.ShowHeaderMode());
    EXPECT_EQ(g.FieldNameSeriesID(), QStringLiteral("S"));
    EXPECT_EQ(g.TopCaption(), QStringLiteral("Top"));
}

} // namespace

TEST_F(GraphProperties, NewControlStartsWithItsInitialValues)
{
    Graph g;
    EXPECT_EQ(g.TopCaption(), QString());
    EXPECT_EQ(g.FieldNameSeriesID(), QString());
    EXPECT_TRUE(g.ShowHeaderMode());
    EXPECT_EQ(g.PointColor(), 0u);
    EXPECT_FALSE(g.ShowCrossPointMode());
    EXPECT_FALSE(g.MovePointMode());
    EXPECT_TRUE(g.ShowPoints());
    EXPECT_TRUE(g.ShowLabels());
    EXPECT_EQ(g.AxisYCaptionColor(), 0u);
    EXPECT_EQ(g.TableName(), QString());
    EXPECT_EQ(g.FieldNameID(), QString());
    EXPECT_EQ(g.FieldNameAxisX(), QString());
    EXPECT_EQ(g.FieldNameAxisY(), QString());
    EXPECT_EQ(g.ConnectionString(), QString());
    EXPECT_EQ(g.AxisXCaption(), QStringLiteral("Scale X"));
    EXPECT_EQ(g.AxisYCaption(), QStringLiteral("Scale Y"));
    EXPECT_EQ(g.HeaderCaption(), QStringLiteral("Simple Graph"));
    EXPECT_EQ(g.GraphScaleHeight(), -900.0f);
    EXPECT_EQ(g.GraphScaleWidth(), 1800.0f);
    expectFont(*g.AxisXFont(), "Arial", 8, false);
    EXPECT_EQ(g.AxisXFont()->Charset(), 204);
    expectFont(*g.AxisXCaptionFont(), "Arial", 10, true);
    EXPECT_EQ(g.LineStyle(), DashStyle::Dot);
    EXPECT_EQ(g.AxisXCaptionColor(), 0u);
    ASSERT_NE(g.DataSeries(), nullptr);
    EXPECT_EQ(g.DataSeries()->Count(), 0);
    EXPECT_TRUE(g.changedProperties().isEmpty());
}

TEST_F(GraphProperties, ChildElementsCarryTheirNames)
{
    Graph g;
    auto* header = g.findChild<QLabel*>(QStringLiteral("lblHeader"));
    ASSERT_EQ(header, g.lblHeader());
    EXPECT_EQ(header->text(), QStringLiteral("Simple Graph"));
    EXPECT_TRUE(header->font().bold());
    EXPECT_EQ(header->font().pointSizeF(), 14.25);
    EXPECT_FALSE(header->isHidden());
    auto* status = g.findChild<QLabel*>(QStringLiteral("lblStatus"));
    ASSERT_EQ(status, g.lblStatus());
    EXPECT_TRUE(status->isHidden());
    auto* pointer = g.findChild<QWidget*>(QStringLiteral("shpPointer"));
    ASSERT_EQ(pointer, g.shpPointer());
    EXPECT_TRUE(pointer->isHidden());
    EXPECT_EQ(g.labelCount(), 1);
    EXPECT_FALSE(g.Label1(0).visible);
}

TEST_F(GraphProperties, SettersStoreMarkAndHaveTheirSideEffects)
{
    Graph g;
    g.setTopCaption(QStringLiteral("   "));
    EXPECT_EQ(g.TopCaption(), QString());
    g.setTopCaption(QStringLiteral("  Minute 5 \t"));
    EXPECT_EQ(g.TopCaption(), QStringLiteral("Minute 5"));
    g.setHeaderCaption(QStringLiteral("Other"));
    EXPECT_EQ(g.lblHeader()->text(), QStringLiteral("Other"));
    g.setShowHeaderMode(false);
    EXPECT_TRUE(g.lblHeader()->isHidden());
    g.setShowHeaderMode(true);
    EXPECT_FALSE(g.lblHeader()->isHidden());
    g.setLineStyle(static_cast<DashStyle>(9)); // nothing is validated
    EXPECT_EQ(static_cast<int>(g.LineStyle()), 9);
    EXPECT_EQ(g.changedProperties(), (QStringList{QStringLiteral("HeaderCaption"), QStringLiteral("LineStyle"),
                                                  QStringLiteral("ShowHeaderMode"), QStringLiteral("TopCaption")}));
    g.clearChangedProperties();
    EXPECT_FALSE(g.isPropertyChanged(QStringLiteral("TopCaption")));
}

TEST_F(GraphProperties, NewControlSharesOneFontObjectPerPair)
{
    Graph g;
    EXPECT_EQ(g.AxisXFont(), g.AxisYFont());
    g.AxisXFont()->setBold(true);
    EXPECT_TRUE(g.AxisYFont()->Bold());
    g.AxisYCaptionFont()->setSize(16);
    EXPECT_EQ(g.AxisXCaptionFont()->Size(), 16.0f);
    EXPECT_NE(g.AxisXFont(), g.AxisXCaptionFont());
    // Assigning another object to one of them ends the sharing; set stores the reference given.
    auto own = std::make_shared<GraphFont>(QStringLiteral("Arial"), 9.0f);
    g.setAxisYFont(own);
    EXPECT_EQ(g.AxisYFont(), own);
    g.AxisXFont()->setItalic(true);
    EXPECT_FALSE(g.AxisYFont()->Italic());
}

TEST_F(GraphProperties, PersistenceRoundTripThroughAMap)
{
    VariantMapPropertyStore store;
    {
        Graph g;
        setEverything(g);
        g.WriteProperties(store);
    }
    EXPECT_EQ(store.values().size(), 25);
    Graph loaded;
    GraphError error;
    ASSERT_TRUE(loaded.ReadProperties(store, &error)) << error.text().toStdString();
    expectEverything(loaded);
}

TEST_F(GraphProperties, PersistenceRoundTripThroughSettingsFile)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("form.ini"));
    {
        QSettings settings(file, QSettings::IniFormat);
        SettingsPropertyStore store(&settings, QStringLiteral("Graph1"));
        Graph g;
        setEverything(g);
        g.WriteProperties(store);
    }
    QSettings settings(file, QSettings::IniFormat);
    EXPECT_EQ(settings.value(QStringLiteral("Graph1/LineStyle")).toInt(), 3);
    SettingsPropertyStore store(&settings, QStringLiteral("Graph1"));
    Graph loaded;
    GraphError error;
    ASSERT_TRUE(loaded.ReadProperties(store, &error)) << error.text().toStdString();
    expectEverything(loaded);
}

TEST_F(GraphProperties, DefaultsAreOmittedWhenWriting)
{
    VariantMapPropertyStore store;
    store.setValue(QStringLiteral("AxisXCaption"), QStringLiteral("stale"));
    Graph g;
    g.WriteProperties(store);
    // A value equal to its default is left out (a stale one removed); a new control's dotted line style and
    // bold caption fonts differ from the read defaults and are written.
    EXPECT_EQ(store.values().keys(), (QStringList{QStringLiteral("AxisXCaptionFont"),
                                                  QStringLiteral("AxisYCaptionFont"), QStringLiteral("LineStyle")}));
    EXPECT_EQ(store.values().value(QStringLiteral("LineStyle")).toInt(), 2);
    Graph loaded;
    ASSERT_TRUE(loaded.ReadProperties(store));
    EXPECT_EQ(loaded.LineStyle(), DashStyle::Dot); // a control saved with 2 keeps 2
    EXPECT_TRUE(loaded.AxisXCaptionFont()->Bold());
}

TEST_F(GraphProperties, ReadingAnEmptyStoreGivesTheReadDefaults)
{
    VariantMapPropertyStore empty;
    Graph g;
    setEverything(g);
    ASSERT_TRUE(g.ReadProperties(empty));
    EXPECT_EQ(g.GraphScaleHeight(), -900.0f);
    EXPECT_EQ(g.GraphScaleWidth(), 1800.0f);
    EXPECT_EQ(g.AxisXCaption(), QStringLiteral("Scale X"));
    EXPECT_EQ(g.HeaderCaption(), QStringLiteral("Simple Graph"));
    EXPECT_EQ(g.lblHeader()->text(), QStringLiteral("Simple Graph"));
    EXPECT_EQ(g.ConnectionString(), QString());
    EXPECT_EQ(g.LineStyle(), DashStyle::Solid); // absent reads 0, not a new control's 2
    expectFont(*g.AxisXCaptionFont(), "Arial", 10, false);
    expectFont(*g.AxisYFont(), "Arial", 8, false);
    EXPECT_NE(g.AxisXFont(), g.AxisYFont()); // each read makes its own object
    EXPECT_TRUE(g.ShowLabels());
    EXPECT_TRUE(g.ShowPoints());
    EXPECT_FALSE(g.MovePointMode());
    EXPECT_EQ(g.PointColor(), 0u);
    EXPECT_TRUE(g.ShowHeaderMode());
    // ShowHeaderMode is stored directly: the header keeps the visibility it had.
    EXPECT_TRUE(g.lblHeader()->isHidden());
    EXPECT_EQ(g.TopCaption(), QString());
}

TEST_F(GraphProperties, StoredTopCaptionIsNotTrimmedAgain)
{
    VariantMapPropertyStore store;
    store.setValue(QStringLiteral("TopCaption"), QStringLiteral(" padded "));
    Graph g;
    ASSERT_TRUE(g.ReadProperties(store));
    EXPECT_EQ(g.TopCaption(), QStringLiteral(" padded "));
}

TEST_F(GraphProperties, WrongTypeStopsReadingAndKeepsWhatWasRead)
{
    VariantMapPropertyStore store;
    store.setValue(QStringLiteral("AxisXCaption"), QStringLiteral("read first"));
    store.setValue(QStringLiteral("ShowLabels"), QStringLiteral("maybe"));
    store.setValue(QStringLiteral("PointColor"), 255);
    Graph g;
    GraphError error;
    EXPECT_FALSE(g.ReadProperties(store, &error));
    EXPECT_EQ(error.code(), ErrorCode::TypeMismatch);
    EXPECT_EQ(g.AxisXCaption(), QStringLiteral("read first"));
    EXPECT_TRUE(g.ShowLabels());
    EXPECT_EQ(g.PointColor(), 0u); // after the failing name: not read

    VariantMapPropertyStore badNumber;
    badNumber.setValue(QStringLiteral("GraphScaleWidth"), QStringLiteral("wide"));
    EXPECT_FALSE(g.ReadProperties(badNumber, &error));
    EXPECT_EQ(error.code(), ErrorCode::TypeMismatch);
}

TEST_F(GraphProperties, HeaderIsCentredOnResize)
{
    Graph g;
    g.resize(500, 300);
    g.show(); // resize events reach a shown control
    QApplication::processEvents();
    const auto centre = [&] { return g.lblHeader()->x() + g.lblHeader()->width() / 2.0; };
    EXPECT_NEAR(centre(), 250, 1.5);
    g.resize(800, 300);
    QApplication::processEvents();
    EXPECT_NEAR(centre(), 400, 1.5);
    // Before any Plot the control measures in twips from its top edge: 50 twips above it.
    EXPECT_EQ(g.lblHeader()->y(), g.scaleMap().toPixel(QPointF(0, -50)).y());
}
