#include "platform/ownedThread.h"

#include <utility>

namespace dravix {

ownedThread::~ownedThread() {
    if (joinable() && !isCurrent()) {
        thread_.join();
    }
}

ownedThread::ownedThread(ownedThread&& other) noexcept
    : thread_(std::move(other.thread_)), stopRequested_(other.stopRequested_.load()) {}

ownedThread& ownedThread::operator=(ownedThread&& other) noexcept {
    if (this != &other) {
        join();
        thread_ = std::move(other.thread_);
        stopRequested_ = other.stopRequested_.load();
    }
    return *this;
}

void ownedThread::start(std::function<void()> body) {
    stopRequested_ = false;
    thread_ = std::thread(std::move(body));
}

void ownedThread::join() {
    if (joinable()) {
        thread_.join();
    }
}

}  // namespace dravix
