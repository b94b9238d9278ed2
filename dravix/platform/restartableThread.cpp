#include "platform/restartableThread.h"

namespace dravix {

restartableThread::restartableThread(std::function<void()> body, std::function<void()> wake)
    : body_(std::move(body)), wake_(std::move(wake)) {}

restartableThread::~restartableThread() {
    stop();
}

void restartableThread::start() {
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        if (!exited_) {
            // Still in its body: keep it, unless a thread is joining it right now.
            if (!joiningStop_) {
                askedStop_ = false;
            }
            return;
        }
    }
    std::lock_guard<std::mutex> join(joinMutex_);
    if (thread_.joinable()) {
        thread_.join();  // it has left its body and holds nothing: this returns at once
    }
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        joiningStop_ = false;
        askedStop_ = false;
        exited_ = false;
    }
    thread_ = std::thread(&restartableThread::run, this);
}

void restartableThread::stop() {
    if (isCurrentThread()) {
        requestStop();
        return;
    }
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        joiningStop_ = true;
    }
    wake_();
    std::lock_guard<std::mutex> join(joinMutex_);
    if (thread_.joinable()) {
        thread_.join();
    }
}

void restartableThread::requestStop() {
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        askedStop_ = true;
    }
    wake_();
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
    threadId_ = std::this_thread::get_id();
    body_();
    threadId_ = std::thread::id();  // ids are reused by later threads
}

}  // namespace dravix
