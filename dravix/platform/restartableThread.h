#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/ownedThread.h"

namespace dravix {

// A worker thread that its owner starts, stops and joins, and that callbacks running on the
// owner's threads may stop and start again (a client's callback that closes and reopens its
// camera). Such a callback must never join a thread, since that thread may be waiting for the
// callback's own thread: it only asks. A stop by a thread that joins can't be cancelled; a stop
// asked for by a callback is cancelled by a start while the thread still runs.
//
// The body loops while keepRunning() returns true and returns as soon as it returns false. It
// runs as a library thread (libraryThread): a stop from any library thread only asks, and an
// exception ends the thread with an ERROR naming it.
class restartableThread {
  public:
    // `wake` interrupts whatever the body waits for, so that it checks keepRunning() soon.
    // `name` names the thread in the log.
    restartableThread(std::function<void()> body, std::function<void()> wake,
                      const char* name = "restartableThread");
    ~restartableThread();
    restartableThread(const restartableThread&) = delete;
    restartableThread& operator=(const restartableThread&) = delete;

    // Starts the thread; when it still runs, cancels a stop asked for by requestStop(). Joins
    // only a thread that has left its body.
    void start();
    // Ends the thread and waits for it. On a library thread (this one or another) it only asks:
    // the thread asked may be waiting for the callback that asks.
    void stop();
    // Asks the thread to end without waiting; for callbacks on the owner's threads.
    void requestStop();

    // For the body: false once a stop applies; the body must then return.
    bool keepRunning();
    // Whether a stop applies now, without deciding anything: for work inside the body that
    // gives up early when it does.
    bool stopAsked() const;
    bool isRunning() const;
    bool isCurrentThread() const { return currentThreadId() == threadId_.load(); }

  private:
    void run();
    bool keepIfInBody();
    void markExited();

    const std::function<void()> body_;
    const std::function<void()> wake_;
    const char* const name_;

    mutable std::mutex stateMutex_;
    bool joiningStop_ = false;  // by stop(): final
    bool askedStop_ = false;    // by requestStop(): a start() cancels it
    bool exited_ = true;        // the body has returned, or no thread was started

    // One thread joins or replaces thread_ at a time. Only taken once the body has left, or by
    // stop(), which callbacks on the owner's threads never call.
    std::mutex joinMutex_;
    ownedThread thread_;
    std::atomic<threadId> threadId_{};
};

}  // namespace dravix
