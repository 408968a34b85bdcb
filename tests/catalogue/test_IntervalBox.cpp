#include "CatalogueSupport.h"

#include "monitor/IntervalBox.h"

#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

using catalogue::PingWindowTest;

namespace {

struct Typed {
    QString text;
    int storedSeconds; // what a change of the box stores in "TimeOut"
    int startMs;       // the interval a start arms
    IntervalBox::LeaveCheck::Outcome leave;
};

using Outcome = IntervalBox::LeaveCheck::Outcome;

// Junk, negative, huge and non-ASCII digits: every one gives a timer that fires within a minute.
const QList<Typed> Cases = {
    {QStringLiteral("-5"), 10, 10000, Outcome::Accept},
    {QStringLiteral("-0.5"), 10, 10000, Outcome::Accept},
    {QStringLiteral("--3"), 10, 10000, Outcome::NotANumber},
    {QStringLiteral("1e308"), 1, 60000, Outcome::TooLarge},
    {QStringLiteral("1e999"), 1, 1000, Outcome::NotANumber}, // beyond a double: its leading digit counts
    {QStringLiteral("inf"), 10, 10000, Outcome::NotANumber},
    {QStringLiteral("nan"), 10, 10000, Outcome::NotANumber},
    {QString(10000, u'9'), 60, 60000, Outcome::NotANumber},
    {QStringLiteral("\u0665"), 10, 10000, Outcome::NotANumber}, // Arabic-Indic five
    {QStringLiteral("\uFF17"), 10, 10000, Outcome::NotANumber}, // full-width seven
    {QStringLiteral("2\u0966"), 2, 2000, Outcome::NotANumber},  // two, Devanagari zero
    {QStringLiteral("\u00B2"), 10, 10000, Outcome::NotANumber}, // superscript two
    {QStringLiteral("5") + QChar(0) + QStringLiteral("9"), 5, 5000, Outcome::NotANumber},
    {QStringLiteral(" 7 "), 7, 7000, Outcome::Accept},
};

} // namespace

TEST(IntervalBoxInput, JunkNegativeHugeAndForeignDigitsNeverArmATimerBeyondAMinute)
{
    for (const Typed& c : Cases) {
        const std::string what = c.text.left(20).toStdString();
        EXPECT_EQ(IntervalBox::storedSeconds(c.text), c.storedSeconds) << what;
        const int start = IntervalBox::startIntervalMs(c.text);
        EXPECT_EQ(start, c.startMs) << what;
        EXPECT_GE(IntervalBox::timeoutMsFor(start), 900) << what;
        const IntervalBox::LeaveCheck check = IntervalBox::checkOnLeave(c.text);
        EXPECT_EQ(check.outcome, c.leave) << what;
        if (c.leave != Outcome::Accept) {
            EXPECT_FALSE(check.message.isEmpty()) << what;
        }
    }
}

TEST_F(PingWindowTest, IntervalBoxTellsWhatItReplacesAndTheCycleRunsWithWhatWasStored)
{
    auto window = open();
    auto* box = window->findChild<QLineEdit*>(QStringLiteral("txtTime"));
    ASSERT_NE(box, nullptr);
    for (const Typed& c : Cases) {
        const std::string what = c.text.left(20).toStdString();
        box->setText(c.text);
        EXPECT_EQ(Settings().integer(Keys::TimeOut), c.storedSeconds) << what;
        emit box->editingFinished();
        const QList<MessageBox::Shown> shown = MessageBox::takeCaptured();
        if (c.leave == Outcome::Accept) {
            EXPECT_TRUE(shown.isEmpty()) << what;
            EXPECT_EQ(box->text(), c.text) << what;
        } else {
            ASSERT_EQ(shown.size(), 1) << what;
            EXPECT_EQ(shown[0].icon,
                      c.leave == Outcome::NotANumber ? MessageBox::Icon::Critical : MessageBox::Icon::Information)
                << what;
            EXPECT_EQ(box->text(), c.leave == Outcome::NotANumber ? QStringLiteral("10") : QStringLiteral("60"))
                << what;
        }
        window->Command1_Click();
        EXPECT_TRUE(window->cycle().isRunning()) << what;
        EXPECT_GE(window->cycle().intervalMs(), 1000) << what;
        EXPECT_LE(window->cycle().intervalMs(), 60000) << what;
        window->Command2_Click();
    }
}
