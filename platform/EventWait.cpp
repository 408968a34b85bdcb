#include "platform/EventWait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <memory>
#include <mutex>
#include <poll.h>
#include <thread>

namespace {

WaitResult pollFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const int n = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, left.count())));
        if (n > 0)
            return WaitResult::Ready;
        if (n == 0)
            return WaitResult::TimedOut;
        if (errno != EINTR)
            return WaitResult::Aborted;
    }
}

WaitResult waitFor(int fd, QSocketNotifier::Type type, int timeoutMs)
{
    const short events = type == QSocketNotifier::Read ? POLLIN : POLLOUT;
    if (!QCoreApplication::instance())
        return pollFor(fd, events, timeoutMs);

    // The descriptor may be ready already; a notifier would still fire, but answering at once keeps fast replies
    // fast.
    pollfd p{fd, events, 0};
    if (::poll(&p, 1, 0) > 0)
        return WaitResult::Ready;
    if (timeoutMs <= 0)
        return WaitResult::TimedOut;

    QEventLoop loop;
    WaitResult result = WaitResult::Aborted;
    QSocketNotifier notifier(static_cast<qintptr>(fd), type);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        result = WaitResult::Ready;
        loop.quit();
    });
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        result = WaitResult::TimedOut;
        loop.quit();
    });
    timer.start(timeoutMs);
    // exec() returns at once when the application is already quitting; `result` then stays Aborted.
    loop.exec();
    return result;
}

} // namespace

WaitResult waitReadable(int fd, int timeoutMs)
{
    return waitFor(fd, QSocketNotifier::Read, timeoutMs);
}

WaitResult waitWritable(int fd, int timeoutMs)
{
    return waitFor(fd, QSocketNotifier::Write, timeoutMs);
}

namespace {

// Shared between the waiting thread and the worker, so a worker that outlives an aborted wait finds nobody to wake.
struct WorkerState {
    std::mutex mutex;
    QEventLoop* loop = nullptr; // cleared under the mutex before the loop dies
    bool done = false;
};

} // namespace

WaitResult runInWorker(std::function<void()> work, int timeoutMs)
{
    auto state = std::make_shared<WorkerState>();
    if (!QCoreApplication::instance()) {
        work();
        return WaitResult::Ready;
    }

    QEventLoop loop;
    state->loop = &loop;
    std::thread([state, work = std::move(work)] {
        work();
        std::lock_guard lock(state->mutex);
        state->done = true;
        if (state->loop)
            QMetaObject::invokeMethod(state->loop, "quit", Qt::QueuedConnection);
    }).detach();

    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false;
    if (timeoutMs >= 0) {
        QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            loop.quit();
        });
        timer.start(timeoutMs);
    }
    {
        std::unique_lock lock(state->mutex);
        if (!state->done) {
            lock.unlock();
            loop.exec();
        }
    }
    std::lock_guard lock(state->mutex);
    state->loop = nullptr;
    if (state->done)
        return WaitResult::Ready;
    return timedOut ? WaitResult::TimedOut : WaitResult::Aborted;
}
