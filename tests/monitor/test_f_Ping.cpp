#include "monitor/ui/StatusLight.h"
#include "monitor/ui/f_Ping.h"

#include "../trace/ScriptedRoute.h"
#include "PingWindowHarness.h"
#include "ScriptedEcho.h"
#include "TestEnvironment.h"
#include "analysis/f_Graph.h"
#include "analysis/settings/f_GraphSettings.h"
#include "analysis/settings/frmOptions.h"
#include "graph/Data.h"
#include "graph/Graph.h"
#include "graph/cData.h"
#include "graph/cPoints.h"
#include "monitor/ui/HostListEditor.h"
#include "monitor/ui/PingGraphView.h"
#include "shell/DesktopLauncher.h"
#include "shell/MessageBox.h"
#include "trace/ui/tvTrace.h"

#include <QCoreApplication>
#include <QTableWidget>

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class RecordingGateway final : public SmsGateway {
public:
    explicit RecordingGateway(QStringList& sent) : m_sent(sent) {}
    bool send(const QString&, const QString&, const QString&, const QString&, const QString&, const QString& text,
              QString*) override
    {
        m_sent.append(text);
        return true;
    }

private:
    QStringList& m_sent;
};

class PingWindowTest : public PingWindowHarness {
protected:
    std::unique_ptr<SmsGateway> makeGateway(const QString&) override
    {
        return std::make_unique<RecordingGateway>(sent);
    }
    // Alert rules on, with complete account data and a gateway at `url`.
    void enableAlerts(const QString& url)
    {
        settings.setInteger(Keys::SendSMS, 1);
        settings.setText(Keys::MobileNumber, QStringLiteral(" 5551234 "));
        settings.setText(Keys::CountryCode, QStringLiteral("31"));
        settings.setText(Keys::Carrier, QStringLiteral("lab"));
        settings.setText(Keys::ICQUIN, QStringLiteral("12345"));
        settings.setText(Keys::ICQPass, QStringLiteral("pw"));
        settings.setText(Keys::GatewayURL, url);
    }
    template <typename T> static T* child(f_Ping& window, const char* name)
    {
        T* widget = window.findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    Settings settings;
    QStringList sent;
};

} // namespace

TEST_F(PingWindowTest, FirstStartCreatesHostsAndShowsTheFirstOne)
{
    auto window = open();
    auto* cmb = child<QComboBox>(*window, "cmb");
    EXPECT_TRUE(QFile::exists(env.programFolder() + QStringLiteral("/hosts.ini")));
    EXPECT_EQ(cmb->count(), 6);
    EXPECT_EQ(cmb->currentText(), QStringLiteral("www.debian.org"));
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Tavrik ")));
    EXPECT_EQ(child<QLabel>(*window, "Label3")->text(), QStringLiteral("Retry time, s:"));
    EXPECT_EQ(child<QPushButton>(*window, "Command1")->text(), QStringLiteral("Ping"));
    EXPECT_EQ(child<QPushButton>(*window, "Command2")->text(), QStringLiteral("Stop"));
    EXPECT_NE(child<QTimer>(*window, "Timer1"), nullptr);
    EXPECT_FALSE(settings.text(Keys::StartTime).isEmpty());
    EXPECT_TRUE(MessageBox::takeCaptured().isEmpty());
}

TEST_F(PingWindowTest, PressingPingProbesTheChosenHostAndShowsTheReply)
{
    auto window = open();
    child<QComboBox>(*window, "cmb")->setEditText(QStringLiteral("127.0.0.1"));
    child<QPushButton>(*window, "Command1")->click();
    auto* timer = child<QTimer>(*window, "Timer1");
    ASSERT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 10000);
    ASSERT_TRUE(QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection));

    EXPECT_EQ(child<StatusLight>(*window, "Shape1")->fillColor(), MonitorCycle::Green);
    EXPECT_EQ(child<QLabel>(*window, "Label1")->text(), QStringLiteral("Time: 0"));
    EXPECT_EQ(child<QLabel>(*window, "Label2")->text(), QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral(" : 0ms"))) << window->windowTitle().toStdString();

    child<QCheckBox>(*window, "chkLog")->setChecked(true);
    child<QPushButton>(*window, "Command2")->click();
    EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(child<QCheckBox>(*window, "chkLog")->isChecked());
}

TEST_F(PingWindowTest, StoredIntervalReachesTheBoxBeforeAnAutomaticStart)
{
    settings.setInteger(Keys::TimeOut, 3);
    settings.setInteger(Keys::AutoPing, 1);
    settings.setInteger(Keys::AutoLog, 1);
    auto window = open();
    EXPECT_EQ(child<QLineEdit>(*window, "txtTime")->text(), QStringLiteral("3"));
    auto* timer = child<QTimer>(*window, "Timer1");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 3000);
    EXPECT_TRUE(child<QCheckBox>(*window, "chkLog")->isChecked());
}

TEST_F(PingWindowTest, BadSettingsAreReportedWithTheStepAndTheWindowStillWorks)
{
    settings.setText(Keys::AutoPing, QStringLiteral("yes"));
    settings.setText(Keys::PingValues, QStringLiteral("200;400"));
    auto window = open();
    const QList<MessageBox::Shown> shown = MessageBox::takeCaptured();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].icon, MessageBox::Icon::Critical);
    EXPECT_TRUE(shown[0].text.startsWith(QStringLiteral("9:"))) << shown[0].text.toStdString();
    EXPECT_TRUE(shown[0].text.endsWith(QStringLiteral("\nError in f_Ping.Form_Load on line 2")));
    EXPECT_TRUE(shown[1].text.startsWith(QStringLiteral("13:Type mismatch")));
    EXPECT_TRUE(shown[1].text.endsWith(QStringLiteral("\nError in f_Ping.Form_Load on line 10")));

    child<QComboBox>(*window, "cmb")->setEditText(QStringLiteral("127.0.0.1"));
    child<QPushButton>(*window, "Command1")->click();
    window->cycle().tick();
    EXPECT_EQ(child<StatusLight>(*window, "Shape1")->fillColor(), MonitorCycle::Green);
}

TEST_F(PingWindowTest, IntervalBoxStoresClampedValuesAndChecksOnLeave)
{
    auto window = open();
    auto* box = child<QLineEdit>(*window, "txtTime");
    for (const auto& [typed, stored] :
         {std::pair{"0", 10}, std::pair{"", 10}, std::pair{"75", 60}, std::pair{"abc", 10}, std::pair{"7", 7}}) {
        box->setText(QLatin1String(typed));
        EXPECT_EQ(Settings().integer(Keys::TimeOut), stored) << typed;
    }
    box->setText(QStringLiteral("abc"));
    emit box->editingFinished();
    QList<MessageBox::Shown> shown = MessageBox::takeCaptured();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("Invalid number!"));
    EXPECT_EQ(shown[0].icon, MessageBox::Icon::Critical);
    EXPECT_EQ(box->text(), QStringLiteral("10"));

    box->setText(QStringLiteral("75"));
    emit box->editingFinished();
    shown = MessageBox::takeCaptured();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].icon, MessageBox::Icon::Information);
    EXPECT_EQ(box->text(), QStringLiteral("60"));
}

TEST_F(PingWindowTest, HostSelectorRules)
{
    auto window = open();
    auto* cmb = static_cast<HostSelector*>(child<QComboBox>(*window, "cmb"));
    cmb->setEditText(QStringLiteral("new.lab"));
    cmb->showPopup();
    cmb->hidePopup();
    EXPECT_EQ(cmb->count(), 7);
    EXPECT_EQ(cmb->itemText(6), QStringLiteral("new.lab"));

    child<QLabel>(*window, "Label1")->setText(QStringLiteral("Time: 3"));
    emit cmb->activated(2);
    EXPECT_TRUE(child<QLabel>(*window, "Label1")->text().isEmpty());
    EXPECT_TRUE(child<QLabel>(*window, "Label2")->text().isEmpty());
}

TEST_F(PingWindowTest, ClosingWhileAProbeWaitsIsSafeAndSavesTheHostList)
{
    auto window = open();
    auto* cmb = child<QComboBox>(*window, "cmb");
    cmb->addItem(QStringLiteral("127.0.0.1"));
    cmb->setCurrentIndex(cmb->count() - 1);
    child<QPushButton>(*window, "Command1")->click();
    echo.duringWait = [&] { window->close(); };
    window->cycle().tick();

    EXPECT_FALSE(window->cycle().isRunning());
    EXPECT_FALSE(window->cycle().isBusy());
    cINI ini;
    ini.setFilePath(window->hostsFile());
    EXPECT_EQ(ini.GetVal(QStringLiteral("HOST"), QStringLiteral("7")), QStringLiteral("127.0.0.1"));
}

TEST_F(PingWindowTest, ResultsFillTheGraphAndTheLogAndStopEndsLogging)
{
    auto window = open();
    child<QComboBox>(*window, "cmb")->setEditText(QStringLiteral("127.0.0.1"));
    echo.script = {{1, IcmpStatus::Success, 150}, {0, IcmpStatus::RequestTimedOut, 0}};
    child<QPushButton>(*window, "Command1")->click();
    window->cycle().tick();
    window->cycle().tick();

    EXPECT_DOUBLE_EQ(window->graph().values().back(), 0);
    EXPECT_DOUBLE_EQ(window->graph().values()[window->graph().slotCount() - 1], 150);
    const QString mainLog = window->log().mainLogPath();
    EXPECT_TRUE(mainLog.startsWith(env.programFolder()));
    const QStringList lines = QString::fromUtf8(readFileOrFail(mainLog)).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("\t127.0.0.1\t150")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\t127.0.0.1\t-1")));

    child<QPushButton>(*window, "Command2")->click();
    child<QPushButton>(*window, "Command1")->click();
    window->cycle().tick();
    EXPECT_EQ(readFileOrFail(mainLog).count('\n'), 2) << "no line after Stop until logging is ticked again";
    child<QCheckBox>(*window, "chkLog")->setChecked(true);
    window->cycle().tick();
    EXPECT_EQ(readFileOrFail(mainLog).count('\n'), 3);
}

TEST_F(PingWindowTest, ShowLogOpensOnlyExistingLogsAndClearRemovesOnlyTheMainLog)
{
    auto window = open();
    const QString mainLog = window->log().mainLogPath();
    child<QPushButton>(*window, "cmdShowLog")->click();
    EXPECT_TRUE(DesktopLauncher::takeCaptured().isEmpty()) << "nothing logged yet: nothing to show";

    settings.setInteger(Keys::LogOne, 0);
    child<QComboBox>(*window, "cmb")->setEditText(QStringLiteral("../host1"));
    window->cycle().start(QStringLiteral("1"));
    window->cycle().tick();
    child<QPushButton>(*window, "cmdShowLog")->click();
    const QStringList opened = DesktopLauncher::takeCaptured();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], window->log().hostLogPath(QStringLiteral("../host1")));
    EXPECT_TRUE(opened[0].startsWith(env.programFolder() + u'/'));
    EXPECT_FALSE(opened[0].mid(env.programFolder().size() + 1).contains(u'/'));

    writeFileOrFail(mainLog, "x\r\n");
    writeFileOrFail(env.programFolder() + QStringLiteral("/Tavrik.Log"), "other\r\n");
    child<QPushButton>(*window, "cmdLogClear")->click();
    EXPECT_FALSE(QFile::exists(mainLog));
    EXPECT_TRUE(QFile::exists(opened[0]));
    EXPECT_TRUE(QFile::exists(env.programFolder() + QStringLiteral("/Tavrik.Log")));
}

TEST_F(PingWindowTest, DoubleClickOnTheGraphStopsTheCycleAndAsksForItsSettings)
{
    auto window = open();
    int asked = 0;
    QObject::connect(window.get(), &f_Ping::graphSettingsRequested, [&] { ++asked; });
    window->cycle().start(QStringLiteral("1"));
    auto* view = window->findChild<PingGraphView*>();
    ASSERT_NE(view, nullptr);
    emit view->doubleClicked();
    EXPECT_FALSE(window->cycle().isRunning());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(dialogs.size(), 1) << "the graph settings window opens";

    settings.setInteger(Keys::PingScale, 50);
    EXPECT_EQ(window->rebuildGraph(), std::nullopt);
    EXPECT_EQ(window->graph().topValue(), 600);
    settings.setInteger(Keys::PingBackLevel, 5);
    const auto refused = window->rebuildGraph();
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->number, 9);
    EXPECT_EQ(window->graph().bands().size(), 2) << "the default layout replaces one that cannot be drawn";
}

TEST_F(PingWindowTest, SlowRepliesSendAnAlertThroughTheGatewayAndFailuresNever)
{
    enableAlerts(QStringLiteral("http://127.0.0.1:9/send"));
    auto window = open();
    EXPECT_EQ(gatewayUrls, QStringList{QStringLiteral("http://127.0.0.1:9/send")});
    EXPECT_EQ(window->findChild<QTimer*>(QStringLiteral("timSent"))->interval(), 20000);

    child<QComboBox>(*window, "cmb")->setEditText(QStringLiteral("127.0.0.1"));
    echo.script = {{0, IcmpStatus::RequestTimedOut, 0}, {1, IcmpStatus::Success, 250}};
    child<QPushButton>(*window, "Command1")->click();
    window->cycle().tick();
    EXPECT_TRUE(sent.isEmpty()) << "a failed probe never reaches the alert rules";
    window->cycle().tick();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0], QStringLiteral("Tavrik ping statistics. 127.0.0.1:\r\nPing time - 250"));
    EXPECT_TRUE(child<QLabel>(*window, "imgSMS")->isVisibleTo(window.get()));
    EXPECT_FALSE(settings.text(Keys::LastTime).isEmpty());
}

TEST_F(PingWindowTest, SwitchingToTraceStopsProbingAndShowsTheTraceView)
{
    auto window = open();
    window->show();
    child<QComboBox>(*window, "cmb")->setEditText(QStringLiteral("127.0.0.1"));
    child<QPushButton>(*window, "Command1")->click();
    ASSERT_TRUE(window->cycle().isRunning());
    auto* mode = child<QCheckBox>(*window, "chkMode");
    EXPECT_EQ(mode->toolTip(), QStringLiteral("Mode: Ping"));

    mode->setChecked(true);
    EXPECT_FALSE(window->cycle().isRunning());
    EXPECT_TRUE(window->traceView().isVisible());
    EXPECT_FALSE(child<QWidget>(*window, "Frame1")->isVisible());
    EXPECT_EQ(child<QPushButton>(*window, "Command1")->text(), QStringLiteral("Trace"));
    EXPECT_EQ(mode->toolTip(), QStringLiteral("Mode: Trace"));

    // The scripted echo answers every probe from the target itself: the route is one hop long.
    child<QPushButton>(*window, "Command1")->click();
    EXPECT_EQ(child<QLabel>(*window, "Label1")->text(), QStringLiteral("Route Trace has Completed"));
    EXPECT_EQ(child<QLabel>(*window, "Label2")->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(window->traceView().grid().text(1, HopGrid::Address), QStringLiteral("127.0.0.1"));

    mode->setChecked(false);
    EXPECT_TRUE(child<QWidget>(*window, "Frame1")->isVisible());
    EXPECT_EQ(child<QPushButton>(*window, "Command1")->text(), QStringLiteral("Ping"));
}

TEST_F(PingWindowTest, HostEditorAddsRemovesAndSavesWithConsecutiveKeys)
{
    writeFileOrFail(env.programFolder() + QStringLiteral("/hosts.ini"), "[HOST]\r\n1=a.lab\r\n2=b.lab\r\n3=c.lab\r\n");
    auto window = open();
    window->show();
    child<QComboBox>(*window, "cmb")->setEditText(QStringLiteral("a.lab"));
    child<QPushButton>(*window, "Command1")->click();
    auto* edit = child<QCheckBox>(*window, "chkHosts");
    edit->setChecked(true);
    EXPECT_FALSE(window->cycle().isRunning()) << "editing the list stops the probing first";
    EXPECT_FALSE(child<QComboBox>(*window, "cmb")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(*window, "Command1")->isEnabled());

    auto* editor = window->findChild<HostListEditor*>();
    ASSERT_NE(editor, nullptr);
    QTableWidget* grid = editor->grid();
    ASSERT_EQ(grid->rowCount(), 4);
    EXPECT_EQ(grid->item(3, 0)->text(), QStringLiteral("4"));
    editor->grdHosts_Click(3, 1);
    editor->editor()->setText(QStringLiteral("d.lab"));
    editor->grdHosts_Click(1, 1); // another cell: the typed host is taken
    EXPECT_EQ(grid->rowCount(), 5);
    EXPECT_EQ(child<QComboBox>(*window, "cmb")->itemText(3), QStringLiteral("d.lab"));
    editor->editor()->clear(); // row 2, b.lab, is emptied
    editor->grdHosts_Click(0, 1);
    edit->setChecked(false);
    EXPECT_TRUE(child<QComboBox>(*window, "cmb")->isEnabled());
    EXPECT_EQ(child<QComboBox>(*window, "cmb")->count(), 3);

    window->close();
    EXPECT_EQ(readFileOrFail(env.programFolder() + QStringLiteral("/hosts.ini")),
              QByteArray("[HOST]\r\n1=a.lab\r\n2=c.lab\r\n3=d.lab\r\n"));
}

TEST_F(PingWindowTest, AutoHideStartsMinimisedAndWithoutATrayTheWindowStaysReachable)
{
    settings.setInteger(Keys::AutoHide, 1);
    auto window = open();
    EXPECT_TRUE(window->startsHidden());
    window->showAtStart();
    QCoreApplication::processEvents();
    if (clsSysTray::trayAvailable())
        GTEST_SKIP() << "this desktop has a tray; the end-to-end run covers it";
    EXPECT_TRUE(window->isMinimized());
    EXPECT_FALSE(window->tray().isInTray());
    EXPECT_FALSE(window->isHidden()) << "with no tray the window must not be hidden";
}

TEST_F(PingWindowTest, GraphSettingsSavedRebuildTheGraphAndOptionsReloadTheAlerts)
{
    auto window = open();
    answerDialog = [this](QDialog& dialog) {
        if (auto* graph = qobject_cast<f_GraphSettings*>(&dialog)) {
            settings.setInteger(Keys::PingScale, 50);
            graph->SettingsSaved = true;
        }
        if (auto* options = qobject_cast<frmOptions*>(&dialog)) {
            enableAlerts(QStringLiteral("http://127.0.0.1:9/"));
            emit options->settingsSaved();
        }
        return int(QDialog::Accepted);
    };
    emit window->findChild<PingGraphView*>()->doubleClicked();
    EXPECT_EQ(window->graph().topValue(), 600);

    EXPECT_TRUE(gatewayUrls.isEmpty());
    child<QPushButton>(*window, "cmdOptions")->click();
    EXPECT_EQ(gatewayUrls, QStringList{QStringLiteral("http://127.0.0.1:9/")}) << "InitSMS ran after the save";
    EXPECT_EQ(dialogs.size(), 2);
}

TEST_F(PingWindowTest, AnalysisOpensBesideTheWindowOnTheMinuteJustLoggedAndClosesWithIt)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime minute(now.date(), QTime(now.time().hour(), now.time().minute()));
    auto window = open();
    clock.setNow(minute.addSecs(1));
    child<QComboBox>(*window, "cmb")->setEditText(QStringLiteral("127.0.0.1"));
    echo.script = {{1, IcmpStatus::Success, 20}, {1, IcmpStatus::Success, 30}, {0, IcmpStatus::RequestTimedOut, 0}};
    child<QPushButton>(*window, "Command1")->click();
    for (int i = 0; i < 3; ++i) {
        window->cycle().tick();
        clock.advanceMs(1000);
    }
    child<QPushButton>(*window, "Command2")->click();

    auto* analyze = child<QPushButton>(*window, "cmdAnalyze");
    EXPECT_EQ(analyze->toolTip(), QStringLiteral("The analysis of the log files"));
    analyze->click();
    QPointer<f_Graph> graph = window->analysisWindow();
    ASSERT_TRUE(graph);
    EXPECT_EQ(graph->parentWidget(), nullptr);
    EXPECT_FALSE(graph->isModal());
    EXPECT_TRUE(graph->isVisible());
    EXPECT_TRUE(dialogs.isEmpty()) << "no modal dialog was run";
    auto* plot = graph->findChild<tvGraph::Graph*>(QStringLiteral("Graph1"));
    ASSERT_NE(plot, nullptr);
    ASSERT_EQ(plot->DataSeries()->Count(), 1);
    if (QDateTime::currentDateTime() < minute.addSecs(60)) { // the window shows the minute of the wall clock
        EXPECT_EQ(plot->DataSeries()->Item(1)->Points()->Count(), 3);
    }

    analyze->click();
    EXPECT_EQ(window->analysisWindow(), graph.data()) << "a second click brings the same window forward";
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(graph.isNull()) << "closing the main window ends the analysis window too";
}
