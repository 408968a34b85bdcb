#include "platform/EventWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

TEST(EventWait, EventsRunWhileWaitingForADescriptor)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    QTimer::singleShot(120, [&] { ASSERT_EQ(::write(fds[1], "x", 1), 1); });

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(waitReadable(fds[0], 2000), WaitResult::Ready);
    EXPECT_GE(clock.elapsed(), 100);
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_GE(ticks, 3) << "the thread's timers must keep running during the wait";

    char byte;
    ASSERT_EQ(::read(fds[0], &byte, 1), 1);
    clock.restart();
    EXPECT_EQ(waitReadable(fds[0], 150), WaitResult::TimedOut);
    EXPECT_GE(clock.elapsed(), 140);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(EventWait, WorkerResultArrivesAndATimeLimitIsKept)
{
    std::atomic<int> value{0};
    EXPECT_EQ(runInWorker([&] { value = 7; }), WaitResult::Ready);
    EXPECT_EQ(value, 7);

    auto gate = std::make_shared<std::atomic<bool>>(false);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(runInWorker(
                  [gate] {
                      while (!*gate)
                          std::this_thread::sleep_for(std::chrono::milliseconds(5));
                  },
                  100),
              WaitResult::TimedOut);
    EXPECT_LT(clock.elapsed(), 1000);
    *gate = true; // lets the detached worker finish
}
