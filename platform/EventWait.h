#pragma once

#include <functional>

// Blocking calls keep their synchronous contract but let the thread's events run while they wait, so the window
// stays responsive. These helpers are the only places that spin a nested event loop.

enum class WaitResult {
    Ready,    // the descriptor became readable / the work finished
    TimedOut, // the time limit passed first
    Aborted,  // the application is quitting; the caller should give up at once
};

// Waits until `fd` is readable or `timeoutMs` milliseconds passed. Without a QCoreApplication it falls back to poll().
WaitResult waitReadable(int fd, int timeoutMs);
// The same for writability, which is how a non-blocking connect reports that it finished.
WaitResult waitWritable(int fd, int timeoutMs);

// Runs `work` on a worker thread and waits for it while events run. The work must not touch objects of the calling
// thread: when the wait is aborted it goes on detached and its result is dropped.
WaitResult runInWorker(std::function<void()> work, int timeoutMs = -1);
