#include "Data.h"
#include "Graph.h"
#include "GraphError.h"
#include "GraphScale.h"
#include "cData.h"
#include "cPoints.h"

#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace tvGraph;

namespace {

const QString ConnectionName = QStringLiteral("catalogue-binding");

class DatabaseBindingTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        resetLibraryExtents();
        cn = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), ConnectionName);
        cn.setDatabaseName(env.programFolder() + QStringLiteral("/points.db"));
        ASSERT_TRUE(cn.open()) << cn.lastError().text().toStdString();
        exec("CREATE TABLE T (ID INTEGER PRIMARY KEY, S, X, Y)");
        graph.setErrorReporter([this](const GraphError& e) { reported << e.text(); });
    }
    void TearDown() override
    {
        cn.close();
        cn = QSqlDatabase();
        QSqlDatabase::removeDatabase(ConnectionName);
        resetLibraryExtents();
    }
    void exec(const char* sql)
    {
        QSqlQuery q(cn);
        ASSERT_TRUE(q.exec(QString::fromUtf8(sql))) << q.lastError().text().toStdString() << " in " << sql;
    }
    bool load(const QString& table, const QString& seriesField, const QVariant& series, const QString& id,
              const QString& x, const QString& y, GraphError* error)
    {
        return graph.SetValues(cn, table, seriesField, series, id, x, y, 0, error);
    }

    QSqlDatabase cn;
    Graph graph;
    QStringList reported;
};

} // namespace

TEST_F(DatabaseBindingTest, MissingNamesAndValuesThatAreNoNumbersLoadNothing)
{
    exec("INSERT INTO T VALUES (1, 'A', 1, 10), (2, 'A', 2, 20), (3, 'J', 3, 'junk'), (4, 'K', x'00ff', 1), "
         "(5, 'L', 1e300, 1), (6, 'M', '', 1)");
    const QString t = QStringLiteral("T"), s = QStringLiteral("S"), id = QStringLiteral("ID"), x = QStringLiteral("X"),
                  y = QStringLiteral("Y"), nope = QStringLiteral("Nope");
    struct Case {
        QString table, series, id, y;
        QVariant value;
    };
    const Case missing[] = {{nope, s, id, y, QStringLiteral("A")},
                            {t, nope, id, y, QStringLiteral("A")},
                            {t, s, nope, y, QStringLiteral("A")},
                            {t, s, id, nope, QStringLiteral("A")},
                            {t, s, id, QStringLiteral("Y]; DROP TABLE T; --"), QStringLiteral("A")}};
    for (const Case& c : missing) {
        GraphError error;
        EXPECT_FALSE(load(c.table, c.series, c.value, c.id, x, c.y, &error)) << c.table.toStdString();
        EXPECT_TRUE(error.isError());
        EXPECT_EQ(graph.DataSeries()->Count(), 0);
    }
    // Values of the wrong kind: text, a blob, a number beyond a single, an empty text.
    for (const char* series : {"J", "K", "L", "M"}) {
        GraphError error;
        EXPECT_FALSE(load(t, s, QLatin1String(series), id, x, y, &error)) << series;
        EXPECT_TRUE(error.code() == ErrorCode::TypeMismatch || error.code() == ErrorCode::Overflow)
            << series << ' ' << error.text().toStdString();
        EXPECT_EQ(graph.DataSeries()->Count(), 0) << series;
    }
    GraphError error;
    ASSERT_TRUE(load(t, s, QStringLiteral("A"), id, x, y, &error)) << error.text().toStdString();
    EXPECT_EQ(graph.DataSeries()->Item(1)->Points()->Count(), 2) << "the table is still there";
}

TEST_F(DatabaseBindingTest, FortyThousandRowsLoadAndPlotInBoundedTime)
{
    exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
         "INSERT INTO T SELECT i, CASE WHEN i <= 30000 THEN 'A' ELSE 'B' END, i % 500, (i * 7) % 300 FROM n");
    graph.resize(640, 480);
    QElapsedTimer timer;
    timer.start();
    GraphError error;
    ASSERT_TRUE(load(QStringLiteral("T"), QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("ID"),
                     QStringLiteral("X"), QStringLiteral("Y"), &error))
        << error.text().toStdString();
    EXPECT_EQ(graph.DataSeries()->Item(1)->Points()->Count(), 30000);
    EXPECT_TRUE(graph.Plot(&error)) << error.text().toStdString();
    ASSERT_TRUE(load(QStringLiteral("T"), QStringLiteral("S"), QStringLiteral("B"), QStringLiteral("ID"),
                     QStringLiteral("X"), QStringLiteral("Y"), &error))
        << error.text().toStdString();
    EXPECT_EQ(graph.DataSeries()->Item(2)->Points()->Count(), 10000);
    // 40,000 points need more labels than the control's 16-bit label positions: refused whole, not drawn half.
    EXPECT_FALSE(graph.Plot(&error));
    EXPECT_EQ(error.code(), ErrorCode::Overflow) << error.text().toStdString();
    EXPECT_LT(timer.elapsed(), 60000) << "two loads and two plots of 40,000 rows";

    // All 40,000 rows as one series: more than the binding's 16-bit row counter, refused whole and quickly.
    timer.restart();
    EXPECT_FALSE(load(QStringLiteral("T"), QStringLiteral("1"), 1, QStringLiteral("ID"), QStringLiteral("X"),
                      QStringLiteral("Y"), &error));
    EXPECT_EQ(error.code(), ErrorCode::Overflow);
    EXPECT_EQ(graph.DataSeries()->Count(), 2);
    EXPECT_LT(timer.elapsed(), 30000);
}
