#include "GraphSql.h"
#include "GraphTestSupport.h"
#include "TestEnvironment.h"

#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace tvGraph;

namespace {

const QString ConnectionName = QStringLiteral("graph-test");

class GraphDatabase : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        resetLibraryExtents();
        file = env.programFolder() + QStringLiteral("/points.db");
        cn = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), ConnectionName);
        cn.setDatabaseName(file);
        ASSERT_TRUE(cn.open()) << cn.lastError().text().toStdString();
        exec("CREATE TABLE T (ID INTEGER PRIMARY KEY, S, X REAL, Y REAL)");
        exec("INSERT INTO T VALUES (1, 'A', 1, 10), (2, 'A', 2.5, 20), (3, 'B', 3, 30), (4, 5, 4, 40), "
             "(5, 5, 12.5, 40), (6, 'O''Brien', 6, 60), (7, 'A', 0.5, 70)");
        graph.setErrorReporter([this](const GraphError& e) { reported << e.text(); });
    }
    void TearDown() override
    {
        cn.close();
        cn = QSqlDatabase();
        QSqlDatabase::removeDatabase(ConnectionName);
        QLocale::setDefault(QLocale::system());
        resetLibraryExtents();
    }
    void exec(const char* sql)
    {
        QSqlQuery q(cn);
        ASSERT_TRUE(q.exec(QString::fromUtf8(sql))) << q.lastError().text().toStdString() << " in " << sql;
    }
    // The row's X and Y as the table holds them now.
    std::pair<double, double> row(int id)
    {
        QSqlQuery q(cn);
        q.exec(QStringLiteral("SELECT X, Y FROM T WHERE ID=%1").arg(id));
        EXPECT_TRUE(q.next()) << id;
        return {q.value(0).toDouble(), q.value(1).toDouble()};
    }
    bool load(const QVariant& seriesID, OleColor color = 0, GraphError* error = nullptr)
    {
        return graph.SetValues(cn, QStringLiteral("T"), QStringLiteral("S"), seriesID, QStringLiteral("ID"),
                               QStringLiteral("X"), QStringLiteral("Y"), color, error);
    }
    QList<qint32> ids(qint32 series)
    {
        QList<qint32> out;
        for (const auto& p : *graph.DataSeries()->Item(series)->Points())
            out << p->ID();
        return out;
    }

    QString file;
    QSqlDatabase cn;
    Graph graph;
    QStringList reported;
};

} // namespace

TEST(GraphSqlText, SelectAndUpdateTexts)
{
    EXPECT_EQ(selectText("T", "S", 5, "ID", "X", "Y"), QStringLiteral("SELECT ID,X,Y FROM T WHERE S=5 ORDER BY ID,X"));
    EXPECT_EQ(selectText("T", "S", QStringLiteral("A"), "ID", "X", "Y"),
              QStringLiteral("SELECT ID,X,Y FROM T WHERE S='A' ORDER BY ID,X"));
    // An apostrophe in a text ID is doubled: it can neither break the query nor add SQL to it.
    EXPECT_EQ(sqlSeriesValue(QStringLiteral("O'Brien")), QStringLiteral("'O''Brien'"));
    EXPECT_EQ(sqlSeriesValue(QStringLiteral("x' OR '1'='1")), QStringLiteral("'x'' OR ''1''=''1'"));
    EXPECT_EQ(sqlSeriesValue(2.5), QStringLiteral("2.5"));

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Graph graph;
    auto points = std::make_shared<cPoints>();
    auto p = points->Add(graphtest::point(12.5f, 40, 7));
    auto series = graph.DataSeries()->Add(points);
    series->setTableName(QStringLiteral("T"));
    series->setFieldNameAxisX(QStringLiteral("X"));
    series->setFieldNameAxisY(QStringLiteral("Y"));
    series->setFieldNameID(QStringLiteral("ID"));
    // Numbers always with a ".", whatever the locale's decimal separator.
    EXPECT_EQ(updateText(*series, *p), QStringLiteral("UPDATE T SET X=12.5,Y=40 WHERE ID=7"));
    EXPECT_EQ(sqlSeriesValue(2.5), QStringLiteral("2.5"));
    QLocale::setDefault(QLocale::system());
}

TEST(GraphConnectionString, ParsesDriversOptionsAndBraces)
{
    const auto sqlite = parseConnectionString(QStringLiteral("Database=/tmp/a b.db"));
    ASSERT_TRUE(sqlite);
    EXPECT_EQ(sqlite->driver, QStringLiteral("QSQLITE")); // a SQLite file needs nothing else
    EXPECT_EQ(sqlite->database, QStringLiteral("/tmp/a b.db"));

    const auto pg = parseConnectionString(
        QStringLiteral("driver=QPSQL; Host=db.example; PORT=5433; User=tav; Password={p;w}}d}; Database=pings"));
    ASSERT_TRUE(pg);
    EXPECT_EQ(pg->driver, QStringLiteral("QPSQL"));
    EXPECT_EQ(pg->host, QStringLiteral("db.example"));
    EXPECT_EQ(pg->port, 5433);
    EXPECT_EQ(pg->user, QStringLiteral("tav"));
    EXPECT_EQ(pg->password, QStringLiteral("p;w}d"));
    EXPECT_EQ(pg->database, QStringLiteral("pings"));

    ConnectionSettings odbc;
    odbc.driver = QStringLiteral("QODBC");
    odbc.database = QStringLiteral("DRIVER={SQLite3};DATABASE=/tmp/x.db");
    odbc.options = QStringLiteral("SQL_ATTR_CONNECTION_TIMEOUT=5");
    const QString text = formatConnectionString(odbc);
    EXPECT_EQ(text, QStringLiteral("Driver=QODBC;Database={DRIVER={SQLite3}};DATABASE=/tmp/x.db};"
                                   "Options=SQL_ATTR_CONNECTION_TIMEOUT=5"));
    EXPECT_EQ(parseConnectionString(text), odbc);

    GraphError error;
    QSqlDatabase db;
    EXPECT_FALSE(
        openConnection(QStringLiteral("Driver=QNOSUCHDRIVER;Database=x"), QStringLiteral("nodriver"), &db, &error));
    EXPECT_EQ(error.code(), ErrorCode::Database);
    EXPECT_TRUE(error.description.contains(QStringLiteral("QNOSUCHDRIVER")));
    EXPECT_FALSE(parseConnectionString(QStringLiteral("Driver=QSQLITE;Colour=red"), &error));
    EXPECT_EQ(error.code(), ErrorCode::InvalidProcedureCall);
    EXPECT_FALSE(parseConnectionString(QStringLiteral("Database={unclosed"), &error));
    EXPECT_FALSE(parseConnectionString(QStringLiteral("Port=many"), &error));
}

TEST_F(GraphDatabase, TextSeriesIdSelectsItsRowsInIdOrder)
{
    GraphError error;
    ASSERT_TRUE(load(QStringLiteral("A"), 0xFF, &error)) << error.text().toStdString();
    ASSERT_EQ(graph.DataSeries()->Count(), 1);
    EXPECT_EQ(ids(1), (QList<qint32>{1, 2, 7}));
    const auto series = graph.DataSeries()->Item(1);
    const auto second = series->Points()->Item(2);
    EXPECT_EQ(second->X(), 25.0f); // column values are assigned, so stored ×10
    EXPECT_EQ(second->Y(), 200.0f);
    EXPECT_EQ(series->Color(), 0xFFu);
    EXPECT_EQ(series->TableName(), QStringLiteral("T"));
    EXPECT_EQ(series->FieldNameSeriesID(), QStringLiteral("S"));
    EXPECT_EQ(series->FieldValueSeriesID(), QVariant(QStringLiteral("A")));
    EXPECT_EQ(series->FieldNameID(), QStringLiteral("ID"));
    EXPECT_EQ(series->FieldNameAxisX(), QStringLiteral("X"));
    EXPECT_EQ(series->FieldNameAxisY(), QStringLiteral("Y"));
    // The control remembers the connection and the names; RefreshScale ran (Plot did not).
    EXPECT_EQ(graph.ConnectionString(), QStringLiteral("Driver=QSQLITE;Database=") + file);
    EXPECT_EQ(graph.TableName(), QStringLiteral("T"));
    EXPECT_EQ(graph.FieldNameAxisY(), QStringLiteral("Y"));
    EXPECT_TRUE(graph.isPropertyChanged(QStringLiteral("ConnectionString")));
    EXPECT_EQ(libraryExtents().axisY, 800.0f);
    EXPECT_EQ(graph.labelCount(), 1);
}

TEST_F(GraphDatabase, NumericSeriesIdAndTwoLoadsAddTwoSeries)
{
    ASSERT_TRUE(load(QStringLiteral("A")));
    ASSERT_TRUE(load(5));
    ASSERT_EQ(graph.DataSeries()->Count(), 2);
    EXPECT_EQ(ids(1), (QList<qint32>{1, 2, 7})); // the first stays in place
    EXPECT_EQ(ids(2), (QList<qint32>{4, 5}));
    EXPECT_EQ(graph.DataSeries()->Item(2)->FieldValueSeriesID(), QVariant(5));
}

TEST_F(GraphDatabase, ApostropheInATextIdIsEscaped)
{
    GraphError error;
    ASSERT_TRUE(load(QStringLiteral("O'Brien"), 0, &error)) << error.text().toStdString();
    EXPECT_EQ(ids(1), (QList<qint32>{6}));
    // What would have widened the WHERE clause to every row is only a text that matches nothing.
    ASSERT_TRUE(load(QStringLiteral("x' OR '1'='1"), 0, &error)) << error.text().toStdString();
    EXPECT_EQ(graph.DataSeries()->Item(2)->Points()->Count(), 0);
}

TEST_F(GraphDatabase, NoMatchingRowsAddsAnEmptySeries)
{
    ASSERT_TRUE(load(QStringLiteral("none")));
    ASSERT_EQ(graph.DataSeries()->Count(), 1);
    EXPECT_EQ(graph.DataSeries()->Item(1)->Points()->Count(), 0);
    EXPECT_EQ(libraryExtents().axisX, 100.0f);
    EXPECT_EQ(libraryExtents().axisY, 100.0f);
}

TEST_F(GraphDatabase, FailingLoadAddsNoSeriesButKeepsTheNames)
{
    GraphError error;
    EXPECT_FALSE(graph.SetValues(cn, QStringLiteral("T"), QStringLiteral("S"), QStringLiteral("A"),
                                 QStringLiteral("ID"), QStringLiteral("Nope"), QStringLiteral("Y"), 0, &error));
    EXPECT_TRUE(error.isError());
    EXPECT_EQ(graph.DataSeries()->Count(), 0);
    EXPECT_EQ(graph.FieldNameAxisX(), QStringLiteral("Nope"));
    EXPECT_EQ(libraryExtents().axisX, 0.0f); // not refreshed

    exec("INSERT INTO T VALUES (8, 'N', NULL, 1)");
    EXPECT_FALSE(load(QStringLiteral("N"), 0, &error));
    EXPECT_EQ(error.code(), ErrorCode::InvalidUseOfNull);
    EXPECT_EQ(graph.DataSeries()->Count(), 0);
}

TEST_F(GraphDatabase, MoreRowsThanTheCounterHoldsLoadNothing)
{
    exec("WITH RECURSIVE n(i) AS (SELECT 1000 UNION ALL SELECT i + 1 FROM n WHERE i < 33767) "
         "INSERT INTO T SELECT i, 'Z', 1, 1 FROM n");
    GraphError error;
    EXPECT_FALSE(load(QStringLiteral("Z"), 0, &error));
    EXPECT_EQ(error.code(), ErrorCode::Overflow);
    EXPECT_EQ(graph.DataSeries()->Count(), 0);
    exec("DELETE FROM T WHERE ID = 33767"); // 32767 rows fit
    EXPECT_TRUE(load(QStringLiteral("Z"), 0, &error)) << error.text().toStdString();
    EXPECT_EQ(graph.DataSeries()->Item(1)->Points()->Count(), 32767);
}

TEST_F(GraphDatabase, DraggedPointIsWrittenBackInAxisUnits)
{
    // A point far out widens the extents, so the marker radius is at least one plot unit and a point can be hit.
    exec("INSERT INTO T VALUES (9, 'A', 40, 40)");
    ASSERT_TRUE(load(QStringLiteral("A")));
    graph.resize(1200, 750);
    graph.setMovePointMode(true);
    ASSERT_TRUE(graph.Plot());
    const auto p = graph.DataSeries()->Item(1)->Points()->Item(2); // ID 2 at 2.5, 20
    graphtest::mouseAt(graph, QEvent::MouseButtonPress, QPointF(p->X(), p->Y()), Qt::LeftButton, Qt::LeftButton);
    graphtest::mouseAt(graph, QEvent::MouseMove, QPointF(252, 301), Qt::NoButton, Qt::LeftButton);
    graphtest::mouseAt(graph, QEvent::MouseButtonRelease, QPointF(252, 301), Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(p->X(), 250.0f);
    ASSERT_TRUE(graph.SaveValues());
    EXPECT_TRUE(reported.isEmpty());
    EXPECT_EQ(row(2), std::make_pair(25.0, 30.0));
    EXPECT_EQ(row(7), std::make_pair(0.5, 70.0)); // unmoved points are written as they are
}

TEST_F(GraphDatabase, SaveWritesAPointWithADotInACommaLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_TRUE(load(5));
    graph.DataSeries()->Item(1)->Points()->Item(2)->setY(41.5f);
    ASSERT_TRUE(graph.SaveValues()) << reported.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(row(5), std::make_pair(12.5, 41.5));
}

TEST_F(GraphDatabase, SaveWithNoSeriesOpensAndCommitsNothing)
{
    graph.setConnectionString(QStringLiteral("Driver=QSQLITE;Database=") + file);
    EXPECT_TRUE(graph.SaveValues());
    EXPECT_TRUE(reported.isEmpty());
    // It does open the connection: one that cannot be opened is reported even with nothing to write.
    graph.setConnectionString(QStringLiteral("Driver=QSQLITE;Database=") + env.programFolder() +
                              QStringLiteral("/missing/dir/x.db"));
    GraphError error;
    EXPECT_FALSE(graph.SaveValues(&error));
    ASSERT_EQ(reported.size(), 1);
    EXPECT_EQ(reported.first(), error.text());
    EXPECT_TRUE(reported.first().contains(QLatin1Char(':')));
}

TEST_F(GraphDatabase, FailingUpdateRollsBackTheWholeCall)
{
    ASSERT_TRUE(load(QStringLiteral("A")));
    ASSERT_TRUE(load(5));
    graph.DataSeries()->Item(1)->Points()->Item(1)->setX(9); // ID 1 to X = 9
    graph.DataSeries()->Item(2)->setFieldNameAxisX(QStringLiteral("Nope"));
    GraphError error;
    EXPECT_FALSE(graph.SaveValues(&error));
    ASSERT_EQ(reported.size(), 1);
    EXPECT_EQ(reported.first(), error.text());
    EXPECT_TRUE(reported.first().startsWith(QString::number(error.number) + QLatin1Char(':')));
    // The first series' updates ran before the failure and were rolled back with it.
    EXPECT_EQ(row(1), std::make_pair(1.0, 10.0));
    // The connection of the failed call is gone; the next save works.
    graph.DataSeries()->Remove(2);
    EXPECT_TRUE(graph.SaveValues());
    EXPECT_EQ(row(1), std::make_pair(9.0, 10.0));
    EXPECT_EQ(QSqlDatabase::connectionNames(), QStringList{ConnectionName});
}
