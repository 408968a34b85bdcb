#include "GraphTestSupport.h"

#include <QList>

#include <gtest/gtest.h>

#include <limits>

using namespace tvGraph;
using graphtest::point;

class DataCollection : public graphtest::GraphTest {};

namespace {

std::shared_ptr<cPoints> threePoints()
{
    auto points = std::make_shared<cPoints>();
    points->Add(point(1, 10, 101, QStringLiteral("a")));
    points->Add(point(2, 20, 102));
    points->Add(point(3, 30, 103, QStringLiteral("c")));
    return points;
}

} // namespace

TEST(cPoint, AssignedCoordinatesAreStoredInTenths)
{
    cPoint p;
    EXPECT_EQ(p.X(), 0.0f);
    EXPECT_EQ(p.ID(), 0);
    ASSERT_TRUE(p.setX(2.5f));
    EXPECT_EQ(p.X(), 25.0f);
    ASSERT_TRUE(p.setY(-3.0f));
    EXPECT_EQ(p.Y(), -30.0f);
    // Copying through the properties multiplies again: the hit test relies on this.
    cPoint copy;
    copy.setX(p.X());
    EXPECT_EQ(copy.X(), 250.0f);
}

TEST(cPoint, OverflowingMultiplyFailsAndKeepsTheValue)
{
    cPoint p;
    p.setX(4);
    GraphError error;
    EXPECT_FALSE(p.setX(std::numeric_limits<float>::max(), &error));
    EXPECT_EQ(error.code(), ErrorCode::Overflow);
    EXPECT_EQ(p.X(), 40.0f);
    EXPECT_FALSE(p.setY(-std::numeric_limits<float>::max()));
    EXPECT_EQ(p.Y(), 0.0f);
}

TEST(cPoints, KeysPositionsAndTheVeryObjects)
{
    cPoints points;
    auto first = point(1, 1, 1, QStringLiteral("first"));
    EXPECT_EQ(points.Add(first), first); // the same object, not a copy
    points.Add(point(2, 2, 2));          // no key
    points.Add(point(3, 3, 3));          // no key again: never a key conflict
    ASSERT_EQ(points.Count(), 3);
    EXPECT_EQ(points.Item(1), first);
    EXPECT_EQ(points.Item(QStringLiteral("first")), first);
    EXPECT_EQ(points.Item(3)->ID(), 3);
    EXPECT_EQ(points.Item(2.0)->ID(), 2); // any numeric variant is a position
    first->setY(7);
    EXPECT_EQ(points.Item(QStringLiteral("first"))->Y(), 70.0f); // changes through any reference are seen
}

TEST(cPoints, DuplicateKeyFailsAndLeavesCountUnchanged)
{
    cPoints points;
    points.Add(point(1, 1, 1, QStringLiteral("k")));
    GraphError error;
    EXPECT_EQ(points.Add(point(2, 2, 2, QStringLiteral("k")), &error), nullptr);
    EXPECT_EQ(error.code(), ErrorCode::DuplicateKey);
    EXPECT_EQ(error.number, 457);
    EXPECT_EQ(points.Count(), 1);
    EXPECT_EQ(points.Item(QStringLiteral("k"))->ID(), 1);
}

TEST(cPoints, BadPositionsAndKeysReachTheCallerAndChangeNothing)
{
    auto points = threePoints();
    GraphError error;
    EXPECT_EQ(points->Item(0, &error), nullptr);
    EXPECT_EQ(error.code(), ErrorCode::SubscriptOutOfRange);
    EXPECT_EQ(points->Item(4, &error), nullptr);
    EXPECT_EQ(error.code(), ErrorCode::SubscriptOutOfRange);
    EXPECT_EQ(points->Item(QStringLiteral("zz"), &error), nullptr);
    EXPECT_EQ(error.code(), ErrorCode::InvalidProcedureCall);
    EXPECT_FALSE(points->Remove(QStringLiteral("zz"), &error));
    EXPECT_FALSE(points->Remove(-1, &error));
    EXPECT_EQ(error.code(), ErrorCode::SubscriptOutOfRange);
    EXPECT_EQ(points->Add(nullptr, &error), nullptr);
    EXPECT_EQ(error.code(), ErrorCode::ObjectNotSet);
    EXPECT_EQ(points->Count(), 3);
}

TEST(cPoints, RemoveShiftsLaterPositionsDown)
{
    auto points = threePoints();
    ASSERT_TRUE(points->Remove(1));
    ASSERT_EQ(points->Count(), 2);
    EXPECT_EQ(points->Item(1)->ID(), 102);
    EXPECT_EQ(points->Item(2)->ID(), 103);
    EXPECT_EQ(points->Item(QStringLiteral("a")), nullptr); // its key went with it
    ASSERT_TRUE(points->Remove(QStringLiteral("c")));
    ASSERT_EQ(points->Count(), 1);
    EXPECT_EQ(points->Item(1)->ID(), 102);
    // A removed key can be used again.
    EXPECT_NE(points->Add(point(9, 9, 109, QStringLiteral("a"))), nullptr);
    EXPECT_EQ(points->Item(2)->ID(), 109);
}

TEST(cPoints, EnumerationRunsInPositionOrderNotByX)
{
    cPoints points;
    points.Add(point(30, 0, 1));
    points.Add(point(10, 0, 2));
    points.Add(point(20, 0, 3));
    QList<qint32> ids;
    for (const auto& p : points.NewEnum())
        ids << p->ID();
    EXPECT_EQ(ids, (QList<qint32>{1, 2, 3}));
    ids.clear();
    for (const auto& p : points)
        ids << p->ID();
    EXPECT_EQ(ids, (QList<qint32>{1, 2, 3}));
}

TEST_F(DataCollection, DataAddKeepsTheVeryPointsObject)
{
    Graph graph;
    auto points = threePoints();
    auto series = graph.DataSeries()->Add(points);
    ASSERT_NE(series, nullptr);
    EXPECT_EQ(graph.DataSeries()->Item(1)->Points(), points);
    EXPECT_EQ(series->Key, QString());
    EXPECT_EQ(series->Color(), 0u);
    EXPECT_EQ(series->TableName(), QString());
    EXPECT_FALSE(series->FieldValueSeriesID().isValid());
    // The host still holds the collection: what it adds is part of the series.
    points->Add(point(4, 40, 104));
    EXPECT_EQ(graph.DataSeries()->Item(1)->Points()->Count(), 4);
}

TEST_F(DataCollection, DataKeysAndDuplicateKeys)
{
    Graph graph;
    auto& data = *graph.DataSeries();
    auto shared = std::make_shared<cPoints>();
    auto a = data.Add(shared, QStringLiteral("ping"));
    auto b = data.Add(shared); // one collection may back several series
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->Key, QStringLiteral("ping"));
    EXPECT_EQ(data.Item(QStringLiteral("ping")), a);
    EXPECT_EQ(data.Item(2), b);
    GraphError error;
    EXPECT_EQ(data.Add(std::make_shared<cPoints>(), QStringLiteral("ping"), &error), nullptr);
    EXPECT_EQ(error.code(), ErrorCode::DuplicateKey);
    EXPECT_EQ(data.Count(), 2);
    ASSERT_TRUE(data.Remove(QStringLiteral("ping")));
    EXPECT_EQ(data.Item(1), b);
}

TEST_F(DataCollection, ClearEmptiesButSeriesHeldElsewhereLive)
{
    Graph graph;
    auto points = threePoints();
    auto series = graph.DataSeries()->Add(points, QStringLiteral("s"));
    series->setColor(0xFF);
    series->setTableName(QStringLiteral("T"));
    graph.DataSeries()->Clear();
    EXPECT_EQ(graph.DataSeries()->Count(), 0);
    EXPECT_EQ(graph.DataSeries()->Item(QStringLiteral("s")), nullptr);
    // The series obtained before Clear still answers, with its points.
    EXPECT_EQ(series->Color(), 0xFFu);
    EXPECT_EQ(series->TableName(), QStringLiteral("T"));
    EXPECT_EQ(series->Points()->Count(), 3);
    // The key is free again.
    EXPECT_NE(graph.DataSeries()->Add(points, QStringLiteral("s")), nullptr);
}

TEST_F(DataCollection, PointsOutliveTheControl)
{
    std::shared_ptr<cData> series;
    std::shared_ptr<Data> data;
    {
        Graph graph;
        series = graph.DataSeries()->Add(threePoints());
        data = graph.DataSeries();
    }
    EXPECT_EQ(series->Points()->Item(3)->ID(), 103);
    EXPECT_EQ(data->Count(), 1);
}

TEST_F(DataCollection, AssigningPointsReplacesTheReference)
{
    Graph graph;
    auto series = graph.DataSeries()->Add(threePoints());
    auto other = std::make_shared<cPoints>();
    series->setPoints(other);
    EXPECT_EQ(series->Points(), other);
    EXPECT_EQ(graph.DataSeries()->Item(1)->Points()->Count(), 0);
}
