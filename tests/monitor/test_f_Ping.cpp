#include "monitor/ui/StatusLight.h"
#include "monitor/ui/f_Ping.h"

#include "ScriptedEcho.h"
#include "TestEnvironment.h"
#include "shell/MessageBox.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class PingWindowTest : public ProgramFolderTest {
protected:
    PingWindowTest() { MessageBox::setCapturing(true); }
    ~PingWindowTest() override { MessageBox::setCapturing(false); }

    std::unique_ptr<f_Ping> open()
    {
        auto window = std::make_unique<f_Ping>(PingWindowServices{&echo, &resolver, &clock});
        clock.advanceMs(5000); // past the start-up mark
        return window;
    }
    template <typename T> static T* child(f_Ping& window, const char* name)
    {
        T* widget = window.findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    ScriptedEcho echo;
    TableResolver resolver;
    ManualClock clock;
    Settings settings;
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
