#include "platform/manualResetEvent.h"

namespace dravix {

manualResetEvent::manualResetEvent(bool initiallySet) : set_(initiallySet) {}

void manualResetEvent::set() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        set_ = true;
    }
    changed_.notify_all();
}

void manualResetEvent::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
}

bool manualResetEvent::isSet() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
}

void manualResetEvent::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return set_; });
}

bool manualResetEvent::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return set_; });
}

}  // namespace dravix
