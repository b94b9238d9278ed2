#include "device/interruptThread.h"

#include <algorithm>
#include <utility>

namespace dravix {

interruptThread::interruptThread(logger& log)
    : log_(log), thread_([this] { run(); }, [this] { interruptEvent_.set(); }, "interruptThread") {}

interruptThread::~interruptThread() {
    stop();
}

void interruptThread::setHandler(handler onReport) {
    handler_ = std::move(onReport);
}

void interruptThread::setResyncHandler(task onResync) {
    resyncHandler_ = std::move(onResync);
}

void interruptThread::start(fx3Hid& hid) {
    if (!thread_.isRunning()) {
        std::lock_guard<std::mutex> lock(queueMutex_);
        count_ = 0;  // reports of the previous run are not handed on
        dropped_ = 0;
    }
    thread_.start();
    hid.setInterruptCallback(&interruptThread::onHidInterrupt, this);
}

void interruptThread::requestResync() {
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        resyncPending_ = true;
    }
    interruptEvent_.set();
}

void interruptThread::onHidInterrupt(uint8_t type, const uint8_t* data, void* context) {
    auto* self = static_cast<interruptThread*>(context);
    entry report;
    report.type = type;
    std::copy_n(data, report.report.size(), report.report.begin());
    {
        std::lock_guard<std::mutex> lock(self->queueMutex_);
        self->push(report);
        ++self->reportsQueued_;
    }
    self->interruptEvent_.set();
}

void interruptThread::push(const entry& report) {
    if (count_ == kQueueDepth) {
        head_ = (head_ + 1) % kQueueDepth;
        --count_;
        ++dropped_;
    }
    queue_[(head_ + count_) % kQueueDepth] = report;
    ++count_;
}

void interruptThread::run() {
    entry next;
    bool taken = false;
    bool resync = false;
    while (take(next, taken, resync)) {
        warnAboutDropped();
        if (resync && resyncHandler_) {
            resyncHandler_();
        }
        if (taken && next.type == kStatusInterrupt && handler_) {
            handler_(next.report);
        }
        if (taken) {
            ++reportsHandled_;
        }
    }
}

bool interruptThread::take(entry& next, bool& taken, bool& resync) {
    for (;;) {
        interruptEvent_.wait();
        if (!thread_.keepRunning()) {
            return false;
        }
        std::lock_guard<std::mutex> lock(queueMutex_);
        resync = std::exchange(resyncPending_, false);
        taken = count_ > 0;
        if (taken) {
            next = queue_[head_];
            head_ = (head_ + 1) % kQueueDepth;
            --count_;
            ++reportsTaken_;
        }
        if (resync || taken) {
            return true;
        }
        // Reset under the lock: a report queued after it sets the event again.
        interruptEvent_.reset();
    }
}

void interruptThread::warnAboutDropped() {
    uint64_t dropped = 0;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        dropped = std::exchange(dropped_, 0);
    }
    if (dropped != 0) {
        log_.warn("interruptThread: queue full, %llu interrupt reports dropped",
                  static_cast<unsigned long long>(dropped));
    }
}

}  // namespace dravix
