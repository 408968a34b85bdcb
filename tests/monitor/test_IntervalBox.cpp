#include "monitor/IntervalBox.h"

#include <gtest/gtest.h>

using namespace IntervalBox;

TEST(IntervalBox, StoredValueIsClampedAndEmptyOrJunkReadsAsTen)
{
    EXPECT_EQ(storedSeconds(QStringLiteral("0")), 10);
    EXPECT_EQ(storedSeconds(QString()), 10);
    EXPECT_EQ(storedSeconds(QStringLiteral("abc")), 10);
    EXPECT_EQ(storedSeconds(QStringLiteral("75")), 60);
    EXPECT_EQ(storedSeconds(QStringLiteral("1")), 1);
    EXPECT_EQ(storedSeconds(QStringLiteral("60")), 60);
    EXPECT_EQ(storedSeconds(QStringLiteral("5s")), 5);
    EXPECT_EQ(storedSeconds(QStringLiteral("99999999999999999999")), 60);
}

TEST(IntervalBox, LeavingTheBoxRejectsJunkAndCapsAtSixty)
{
    const LeaveCheck junk = checkOnLeave(QStringLiteral("abc"));
    EXPECT_EQ(junk.outcome, LeaveCheck::Outcome::NotANumber);
    EXPECT_EQ(junk.message, QStringLiteral("Invalid number!"));
    EXPECT_EQ(junk.replacement, QStringLiteral("10"));
    EXPECT_EQ(checkOnLeave(QString()).outcome, LeaveCheck::Outcome::NotANumber);

    const LeaveCheck big = checkOnLeave(QStringLiteral("75"));
    EXPECT_EQ(big.outcome, LeaveCheck::Outcome::TooLarge);
    EXPECT_EQ(big.message, QStringLiteral("You can input time less then 60 seconds only!"));
    EXPECT_EQ(big.replacement, QStringLiteral("60"));
    EXPECT_EQ(checkOnLeave(QStringLiteral("60")).outcome, LeaveCheck::Outcome::TooLarge);

    EXPECT_EQ(checkOnLeave(QStringLiteral("0")).outcome, LeaveCheck::Outcome::Accept);
    EXPECT_EQ(checkOnLeave(QStringLiteral("59")).outcome, LeaveCheck::Outcome::Accept);
}

TEST(IntervalBox, StartNeverArmsATimerThatCannotFire)
{
    EXPECT_EQ(startIntervalMs(QStringLiteral("1")), 1000);
    EXPECT_EQ(startIntervalMs(QStringLiteral("2.5")), 2500);
    EXPECT_EQ(startIntervalMs(QStringLiteral("0")), 10000);
    EXPECT_EQ(startIntervalMs(QString()), 10000);
    EXPECT_EQ(startIntervalMs(QStringLiteral("abc")), 10000);
    EXPECT_EQ(startIntervalMs(QStringLiteral("600")), 60000);
    EXPECT_EQ(timeoutMsFor(1000), 900);
    EXPECT_EQ(timeoutMsFor(9999), 9899);
    EXPECT_EQ(timeoutMsFor(10000), 9900);
    EXPECT_EQ(timeoutMsFor(10050), 9950);
    EXPECT_EQ(timeoutMsFor(60000), 10000);
}
