#include "AnalysisTestSupport.h"

#include "analysis/SaveFileDialog.h"
#include "analysis/f_Graph.h"
#include "graph/Data.h"
#include "graph/Graph.h"
#include "graph/cData.h"
#include "graph/cPoint.h"
#include "graph/cPoints.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileInfo>
#include <QFrame>
#include <QImage>
#include <QImageReader>
#include <QListWidget>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace analysistest;

namespace {

struct Plotted {
    float x;
    float y;
    qint32 id;
};

class GraphWindow : public AnalysisTest {
protected:
    static QDateTime thisMinute()
    {
        const QDateTime now = QDateTime::currentDateTime();
        return QDateTime(now.date(), QTime(now.time().hour(), now.time().minute()));
    }
    QList<Plotted> plotted(f_Graph& window) const
    {
        auto* graph = window.findChild<tvGraph::Graph*>(QStringLiteral("Graph1"));
        EXPECT_NE(graph, nullptr);
        QList<Plotted> out;
        if (!graph || graph->DataSeries()->Count() != 1)
            return out;
        for (const auto& point : *graph->DataSeries()->Item(1)->Points())
            out.append({point->X() / 10, point->Y() / 10, point->ID()});
        return out;
    }
    void pick(f_Graph& window, const QDateTime& minute, int log = 0)
    {
        window.findChild<QComboBox*>(QStringLiteral("cmbLogs"))->setCurrentIndex(log);
        window.findChild<QDateTimeEdit*>(QStringLiteral("DTPicker1"))->setDateTime(minute);
        window.findChild<QToolButton*>(QStringLiteral("cmdRefresh"))->click();
    }
};

} // namespace

TEST_F(GraphWindow, LoadListsTheLogsAndPlotsTheCurrentMinute)
{
    const QDateTime minute = thisMinute();
    writeFileOrFail(mAnalyze::mainLogPath(), mainLine(minute.addSecs(5), QStringLiteral("h1"), 30) +
                                                 mainLine(minute.addSecs(-1), QStringLiteral("h1"), 99));
    writeFileOrFail(hostLog(QStringLiteral("hostb")), QByteArray());
    f_Graph window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Analyses of the logged data"));
    auto* logs = window.findChild<QComboBox*>(QStringLiteral("cmbLogs"));
    ASSERT_NE(logs, nullptr);
    ASSERT_EQ(logs->count(), 2);
    EXPECT_EQ(logs->itemText(1), QStringLiteral("HOSTB"));
    EXPECT_EQ(window.findChild<QListWidget*>(QStringLiteral("File1"))->count(), 2);
    auto* picker = window.findChild<QDateTimeEdit*>(QStringLiteral("DTPicker1"));
    EXPECT_EQ(picker->displayFormat(), QStringLiteral("dd.MM.yyyy hh:mm"));
    EXPECT_EQ(picker->dateTime().time().second(), 0);
    const QList<Plotted> points = plotted(window);
    // The minute may have turned while the window loaded; then the point is simply not in it.
    if (thisMinute() == minute) {
        ASSERT_EQ(points.size(), 1);
        EXPECT_FLOAT_EQ(points[0].x, 5);
        EXPECT_FLOAT_EQ(points[0].y, 30);
        EXPECT_EQ(points[0].id, 5);
    }
    auto* graph = window.findChild<tvGraph::Graph*>(QStringLiteral("Graph1"));
    EXPECT_EQ(graph->AxisXCaption(), QStringLiteral("Time, sec"));
    EXPECT_EQ(graph->AxisYCaption(), QStringLiteral("Ping, msec"));
    EXPECT_FALSE(graph->ShowLabels());
    EXPECT_FALSE(graph->ShowHeaderMode());
    EXPECT_EQ(graph->TopCaption(), QStringLiteral("Main Log (") + window.periodFrom() + u')');
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(MessageBox::takeCaptured().isEmpty());
}

TEST_F(GraphWindow, MinuteIncludesSecondZeroOfTheNextAndFailedProbesLieOnTheAxis)
{
    QByteArray log;
    for (const QString& host : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")})
        log += mainLine(at(23, 59, 12), host, 40);
    log += mainLine(at(23, 59, 30), QStringLiteral("a"), -1);
    log += mainLine(at(0, 0, 0, 8), QStringLiteral("a"), 15);
    log += mainLine(at(0, 0, 1, 8), QStringLiteral("a"), 16);
    log += mainLine(at(23, 58, 59), QStringLiteral("a"), 17);
    writeFileOrFail(mAnalyze::mainLogPath(), log);
    f_Graph window;
    pick(window, at(23, 59, 0));
    const QList<Plotted> points = plotted(window);
    ASSERT_EQ(points.size(), 5);
    EXPECT_FLOAT_EQ(points[0].x, 12);
    EXPECT_FLOAT_EQ(points[1].x, 12);
    EXPECT_FLOAT_EQ(points[2].x, 12);
    EXPECT_FLOAT_EQ(points[3].x, 30);
    EXPECT_FLOAT_EQ(points[3].y, 0);
    EXPECT_FLOAT_EQ(points[4].x, 0);
    EXPECT_FLOAT_EQ(points[4].y, 15);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(GraphWindow, TestOnAnEmptyLogSaysEmptyData)
{
    writeFileOrFail(mAnalyze::mainLogPath(), QByteArray());
    f_Graph window;
    auto* picker = window.findChild<QDateTimeEdit*>(QStringLiteral("DTPicker1"));
    const QDateTime before = picker->dateTime();
    MessageBox::takeCaptured();
    window.findChild<QToolButton*>(QStringLiteral("cmdTest"))->click();
    const auto shown = MessageBox::takeCaptured();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].icon, MessageBox::Icon::Information);
    EXPECT_EQ(shown[0].text, QStringLiteral("Empty data!"));
    EXPECT_EQ(picker->dateTime(), before);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(GraphWindow, TestOnAMissingLogSaysNotFoundThenEmptyData)
{
    writeFileOrFail(hostLog(QStringLiteral("h1")), hostLine(at(11, 0, 0), 5));
    f_Graph window;
    MessageBox::takeCaptured();
    ASSERT_TRUE(QFile::remove(hostLog(QStringLiteral("h1"))));
    window.findChild<QComboBox*>(QStringLiteral("cmbLogs"))->setCurrentIndex(1);
    window.findChild<QToolButton*>(QStringLiteral("cmdTest"))->click();
    const auto shown = MessageBox::takeCaptured();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].icon, MessageBox::Icon::Exclamation);
    EXPECT_TRUE(shown[0].text.endsWith(QStringLiteral("\r\nFile not found!")));
    EXPECT_EQ(shown[1].text, QStringLiteral("Empty data!"));
}

TEST_F(GraphWindow, SuccessfulTestMovesThePickerToTheFirstLoggedMinute)
{
    writeFileOrFail(hostLog(QStringLiteral("h1")),
                    hostLine(at(10, 15, 20), 5) + hostLine(at(10, 15, 40), 6) + hostLine(at(11, 0, 0), 7));
    f_Graph window;
    window.findChild<QComboBox*>(QStringLiteral("cmbLogs"))->setCurrentIndex(1);
    MessageBox::takeCaptured();
    window.findChild<QToolButton*>(QStringLiteral("cmdTest"))->click();
    const auto shown = MessageBox::takeCaptured();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].icon, MessageBox::Icon::Information);
    EXPECT_EQ(shown[0].text, QStringLiteral("Recorded data: 3\r\nFrom ") + GeneralDate::toText(at(10, 15, 20)) +
                                 QStringLiteral(" to ") + GeneralDate::toText(at(11, 0, 0)));
    const QDateTime picked = window.findChild<QDateTimeEdit*>(QStringLiteral("DTPicker1"))->dateTime();
    EXPECT_EQ(picked.date(), at(10, 15, 20).date());
    EXPECT_EQ(picked.time().hour(), 10);
    EXPECT_EQ(picked.time().minute(), 15);
    const QList<Plotted> points = plotted(window);
    ASSERT_EQ(points.size(), 2);
    EXPECT_FLOAT_EQ(points[1].x, 40);
}

TEST_F(GraphWindow, CancellingTheSaveWritesNothing)
{
    f_Graph window;
    MessageBox::takeCaptured();
    SaveFileDialog::setNextFileName(QString());
    window.findChild<QToolButton*>(QStringLiteral("cmdSavePicture"))->click();
    const auto request = SaveFileDialog::lastRequest();
    EXPECT_EQ(request.title, QStringLiteral("Select file for save"));
    EXPECT_EQ(request.filter, QStringLiteral("Bitmap file, *.bmp|*.bmp"));
    EXPECT_EQ(request.folder, env.programFolder());
    const QStringList bitmaps = QDir(env.programFolder()).entryList({QStringLiteral("*.bmp")}, QDir::Files);
    EXPECT_TRUE(bitmaps.isEmpty());
}

TEST_F(GraphWindow, SavedPictureIsABitmapOfTheGraphsSize)
{
    writeFileOrFail(mAnalyze::mainLogPath(), mainLine(at(11, 0, 5), QStringLiteral("h"), 20));
    f_Graph window;
    window.resize(640, 420);
    pick(window, at(11, 0, 0));
    const QString target = folderFile(QStringLiteral("shot.bmp"));
    writeFileOrFail(target, "old contents");
    SaveFileDialog::setNextFileName(target);
    window.findChild<QToolButton*>(QStringLiteral("cmdSavePicture"))->click();
    const QByteArray bytes = readFileOrFail(target);
    ASSERT_GE(bytes.size(), 54);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    QImageReader reader(target);
    EXPECT_EQ(reader.format(), QByteArray("bmp"));
    const QImage image = reader.read();
    auto* graph = window.findChild<tvGraph::Graph*>(QStringLiteral("Graph1"));
    EXPECT_EQ(image.size(), graph->size() * graph->devicePixelRatio());
}

TEST_F(GraphWindow, ResizeGivesTheGraphTheRoomBelowTheFrame)
{
    f_Graph window;
    window.show();
    window.resize(700, 500);
    QApplication::processEvents();
    auto* frame = window.findChild<QFrame*>(QStringLiteral("Frame1"));
    auto* graph = window.findChild<tvGraph::Graph*>(QStringLiteral("Graph1"));
    EXPECT_EQ(graph->geometry(), QRect(0, frame->height(), 700, 500 - frame->height()));
    window.resize(700, 5); // smaller than the frame: the graph keeps its place
    QApplication::processEvents();
    EXPECT_EQ(graph->width(), 700);
}
