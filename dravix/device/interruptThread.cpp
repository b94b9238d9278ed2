#include "device/interruptThread.h"

#include <algorithm>

namespace dravix {

interruptThread::interruptThread()
    : thread_([this] { run(); }, [this] { interruptEvent_.set(); }, "interruptThread") {}

interruptThread::~interruptThread() {
    stop();
}

void interruptThread::setHandler(handler onReport) {
    handler_ = std::move(onReport);
}

void interruptThread::start(fx3Hid& hid) {
    if (!thread_.isRunning()) {
        std::lock_guard<std::mutex> lock(mailboxMutex_);
        fresh_ = false;  // a report of the previous run is not handed on
    }
    thread_.start();
    hid.setInterruptCallback(&interruptThread::onHidInterrupt, this);
}

void interruptThread::onHidInterrupt(uint8_t type, const uint8_t* data, void* context) {
    auto* self = static_cast<interruptThread*>(context);
    {
        std::lock_guard<std::mutex> lock(self->mailboxMutex_);
        self->interruptType_ = type;
        std::copy_n(data, self->interruptData_.size(), self->interruptData_.begin());
        self->fresh_ = true;
    }
    self->interruptEvent_.set();
}

void interruptThread::run() {
    uint8_t type = 0;
    data report{};
    bool taken = false;
    while (take(type, report, taken)) {
        if (taken && type == kStatusInterrupt && handler_) {
            handler_(report);
        }
    }
}

bool interruptThread::take(uint8_t& type, data& report, bool& taken) {
    interruptEvent_.wait();
    // Reset before reading, so that a report arriving meanwhile is taken in the next pass.
    interruptEvent_.reset();
    if (!thread_.keepRunning()) {
        return false;
    }
    // A report that arrived between the reset and the lock was taken in this pass already; the
    // event it set wakes the next pass with nothing new.
    std::lock_guard<std::mutex> lock(mailboxMutex_);
    taken = fresh_;
    if (fresh_) {
        type = interruptType_;
        report = interruptData_;
        fresh_ = false;
        ++reportsTaken_;
    }
    return true;
}

}  // namespace dravix
