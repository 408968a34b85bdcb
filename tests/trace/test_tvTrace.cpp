#include "trace/ui/tvTrace.h"

#include "ScriptedRoute.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace scripted;

namespace {

// A view over a two-hop scripted route: a router at TTL 2 and the target at TTL 3. Its texts are collected the way
// the main window shows them.
class TraceViewTest : public ProgramFolderTest {
protected:
    TraceViewTest()
    {
        names.forward[QStringLiteral("target.example.nl")] = QStringLiteral("198.51.100.7");
        names.reverse[QStringLiteral("192.0.2.2")] = QStringLiteral("gw.example.de");
        route.hops[2] = {QStringLiteral("192.0.2.2")};
        route.hops[3] = {QStringLiteral("198.51.100.7"), IcmpStatus::Success, 4, 32, 62};
        QObject::connect(&view, &tvTrace::hostTextChanged, [this](const QString& t) { host = t; });
        QObject::connect(&view, &tvTrace::addressTextChanged, [this](const QString& t) { address = t; });
        QObject::connect(&view, &tvTrace::statusTextChanged, [this](const QString& t) { status = t; });
        QObject::connect(&view, &tvTrace::lookupRequested, [this](HopGrid&, int row, int column) {
            lookups.append({row, column});
        });
        view.resize(700, 300);
        view.show();
    }

    void mouse(QEvent::Type type, int row, int column)
    {
        QTableWidget& table = view.grid();
        const QPoint at = table.visualRect(table.model()->index(row - 1, column)).center();
        QMouseEvent event(type, at, table.viewport()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(table.viewport(), &event);
    }

    ScriptedRoute route;
    ScriptedNames names;
    tvTrace view{route, names};
    QString host, address, status;
    QList<std::pair<int, int>> lookups;
};

} // namespace

TEST_F(TraceViewTest, TraceFillsTheGridAndForwardsItsTexts)
{
    EXPECT_EQ(view.grid().text(0, HopGrid::HostName), QStringLiteral("Host name"));
    EXPECT_EQ(view.grid().objectName(), QStringLiteral("FLX"));
    view.StartTrace(QStringLiteral(" target.example.nl "), 300);

    EXPECT_EQ(host, QStringLiteral("target.example.nl"));
    EXPECT_EQ(address, QStringLiteral("198.51.100.7"));
    EXPECT_EQ(status, QStringLiteral("Route Trace has Completed"));
    EXPECT_EQ(view.grid().text(1, HopGrid::HostName), QStringLiteral("gw.example.de"));
    EXPECT_EQ(view.grid().text(1, HopGrid::Country), QString()) << "no country.txt in this program folder";
    EXPECT_EQ(view.grid().text(2, HopGrid::Address), QStringLiteral("198.51.100.7"));
    EXPECT_EQ(view.grid().text(2, HopGrid::HostName), QStringLiteral("Unknown"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy pointer is gone after the trace";
}

TEST_F(TraceViewTest, OnlyFilledHostAndAddressCellsAskForAWhoisLookup)
{
    view.StartTrace(QStringLiteral("target.example.nl"), 300);
    for (int column : {HopGrid::Number, HopGrid::Time, HopGrid::Network, HopGrid::Country})
        mouse(QEvent::MouseButtonRelease, 1, column);
    mouse(QEvent::MouseButtonRelease, 5, HopGrid::HostName); // an empty row
    EXPECT_TRUE(lookups.isEmpty());

    mouse(QEvent::MouseButtonRelease, 1, HopGrid::HostName);
    mouse(QEvent::MouseButtonRelease, 2, HopGrid::Address);
    EXPECT_EQ(lookups, (QList<std::pair<int, int>>{{1, 1}, {2, 2}}));
}

TEST_F(TraceViewTest, HoverOverAHostShowsTheHandAndSelectsItsRow)
{
    view.StartTrace(QStringLiteral("target.example.nl"), 300);
    mouse(QEvent::MouseMove, 2, HopGrid::HostName);
    EXPECT_EQ(view.grid().viewport()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(view.grid().currentRow(), 1);
    const QList<QTableWidgetSelectionRange> selected = view.grid().selectedRanges();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0].leftColumn(), HopGrid::Number);
    EXPECT_EQ(selected[0].rightColumn(), HopGrid::Time);

    mouse(QEvent::MouseMove, 2, HopGrid::Country);
    EXPECT_NE(view.grid().viewport()->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(TraceViewTest, StopDuringATraceEndsItWithCanceled)
{
    route.hops.remove(3); // the target never answers: the tracer stays on TTL 3
    QTimer::singleShot(200, &view, [this] { view.StopTrace(); });
    view.StartTrace(QStringLiteral("target.example.nl"), 50);
    EXPECT_EQ(status, QStringLiteral("Canceled"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
