#include "platform/restartableThread.h"

#include "platform/libraryThread.h"

namespace dravix {

restartableThread::restartableThread(std::function<void()> body, std::function<void()> wake,
                                     const char* name)
    : body_(std::move(body)), wake_(std::move(wake)), name_(name) {}

restartableThread::~restartableThread() {
    stop();
}

void restartableThread::start() {
    if (keepIfInBody()) {
        return;
    }
    // The body has left: nothing it could hold up waits for joinMutex_ now.
    std::lock_guard<std::mutex> join(joinMutex_);
    if (keepIfInBody()) {
        return;  // another start came first
    }
    if (thread_.joinable()) {
        thread_.join();  // it has left its body and holds nothing: this returns at once
    }
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        joiningStop_ = false;
        askedStop_ = false;
        exited_ = false;
    }
    try {
        thread_.start([this] { run(); });
    } catch (...) {
        markExited();  // no thread runs: the next start tries again
        throw;
    }
}

// While the thread is still in its body, a start keeps it: it cancels a stop asked for by a
// callback, but not one by a thread that is joining it.
bool restartableThread::keepIfInBody() {
    std::lock_guard<std::mutex> state(stateMutex_);
    if (exited_) {
        return false;
    }
    if (!joiningStop_) {
        askedStop_ = false;
    }
    return true;
}

void restartableThread::stop() {
    if (isCurrentThread() || libraryThread::isCurrent()) {
        requestStop();
        return;
    }
    // Held from the stop's decision to the join, so that no start in between can clear it and
    // leave this join waiting for a thread that was never told to stop.
    std::lock_guard<std::mutex> join(joinMutex_);
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        joiningStop_ = true;
    }
    wake_();
    thread_.join();
}

void restartableThread::requestStop() {
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        askedStop_ = true;
    }
    wake_();
}

bool restartableThread::stopAsked() const {
    std::lock_guard<std::mutex> state(stateMutex_);
    return joiningStop_ || askedStop_;
}

bool restartableThread::keepRunning() {
    std::lock_guard<std::mutex> state(stateMutex_);
    if (joiningStop_ || askedStop_) {
        exited_ = true;  // decided under the lock, so a start() either cancels or restarts
        return false;
    }
    return true;
}

bool restartableThread::isRunning() const {
    std::lock_guard<std::mutex> state(stateMutex_);
    return !exited_ && !joiningStop_ && !askedStop_;
}

void restartableThread::run() {
    threadId_ = currentThreadId();
    libraryThread::run(name_, body_);
    markExited();            // also after an exception, so that a start runs the body again
    threadId_ = threadId();  // ids are reused by later threads
}

void restartableThread::markExited() {
    std::lock_guard<std::mutex> state(stateMutex_);
    exited_ = true;
}

}  // namespace dravix
