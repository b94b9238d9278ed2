#include "emu/emulatedHidEndpoint.h"

#include <algorithm>
#include <cerrno>

namespace dravix::emu {

emulatedHidEndpoint::emulatedHidEndpoint() : queue_(kQueueDepth) {
    plug();
}

emulatedHidEndpoint::~emulatedHidEndpoint() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    scheduleChanged_.notify_all();
    if (deliveryThread_.joinable()) {
        deliveryThread_.join();
    }
}

void emulatedHidEndpoint::plug() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (session_ == kNoSession) {
        session_ = ++lastSession_;
    }
}

void emulatedHidEndpoint::unplug() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        session_ = kNoSession;
        head_ = 0;
        count_ = 0;
        timed_.clear();
    }
    changed_.notify_all();
}

uint64_t emulatedHidEndpoint::session() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return session_;
}

bool emulatedHidEndpoint::isOpen(uint64_t session) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !hasEnded(session);
}

void emulatedHidEndpoint::post(uint64_t session, const report& input) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (hasEnded(session)) {
            return;
        }
        enqueue(input);
    }
    changed_.notify_all();
}

void emulatedHidEndpoint::postAt(uint64_t session, const report& input, clock::time_point due) {
    bool earliest;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (hasEnded(session)) {
            return;
        }
        auto later = std::upper_bound(
            timed_.begin(), timed_.end(), due,
            [](clock::time_point time, const timedReport& timed) { return time < timed.due; });
        earliest = later == timed_.begin();
        timed_.insert(later, timedReport{due, input});
        startDeliveryThread();
    }
    if (earliest) {
        scheduleChanged_.notify_all();
    }
}

int emulatedHidEndpoint::read(uint64_t session, report& input, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    waitInSession(lock, session, timeout, [this] { return count_ > 0; });
    if (hasEnded(session)) {
        return -ENODEV;
    }
    if (count_ == 0) {
        return 0;
    }
    input = queue_[head_];
    head_ = (head_ + 1) % kQueueDepth;
    --count_;
    lock.unlock();
    changed_.notify_all();  // for waitUntilTaken()
    return static_cast<int>(input.size());
}

bool emulatedHidEndpoint::waitUntilTaken(uint64_t session, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    waitInSession(lock, session, timeout, [this] { return count_ == 0 && timed_.empty(); });
    return hasEnded(session) || (count_ == 0 && timed_.empty());
}

int emulatedHidEndpoint::stall(uint64_t session, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    waitInSession(lock, session, timeout, [] { return false; });
    return hasEnded(session) ? -ENODEV : 0;
}

bool emulatedHidEndpoint::hasEnded(uint64_t session) const {
    return session == kNoSession || session != session_;
}

template <typename Predicate>
void emulatedHidEndpoint::waitInSession(std::unique_lock<std::mutex>& lock, uint64_t session,
                                        std::chrono::milliseconds timeout, Predicate ready) {
    auto done = [&] { return hasEnded(session) || ready(); };
    if (timeout.count() < 0) {
        changed_.wait(lock, done);
    } else {
        changed_.wait_for(lock, timeout, done);
    }
}

void emulatedHidEndpoint::enqueue(const report& input) {
    if (count_ == kQueueDepth) {
        return;
    }
    queue_[(head_ + count_) % kQueueDepth] = input;
    ++count_;
}

void emulatedHidEndpoint::releaseDueReports() {
    auto now = clock::now();
    auto due = timed_.begin();
    for (; due != timed_.end() && due->due <= now; ++due) {
        enqueue(due->input);
    }
    timed_.erase(timed_.begin(), due);
}

void emulatedHidEndpoint::startDeliveryThread() {
    if (!deliveryThread_.joinable()) {
        deliveryThread_.start([this] { deliveryThreadMain(); });
    }
}

void emulatedHidEndpoint::deliveryThreadMain() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (timed_.empty()) {
            scheduleChanged_.wait(lock);
        } else if (auto due = timed_.front().due; clock::now() < due) {
            scheduleChanged_.wait_until(lock, due);
        } else {
            releaseDueReports();
            changed_.notify_all();
        }
    }
}

}  // namespace dravix::emu
