#include "device/interruptThread.h"

#include <algorithm>

namespace dravix {

interruptThread::~interruptThread() {
    stop();
}

void interruptThread::setHandler(handler onReport) {
    handler_ = std::move(onReport);
}

void interruptThread::start(fx3Hid& hid) {
    if (thread_.joinable()) {
        return;
    }
    interruptEvent_.reset();  // a stop leaves it set
    interruptRunning_ = true;
    thread_ = std::thread(&interruptThread::run, this);
    hid.setInterruptCallback(&interruptThread::onHidInterrupt, this);
}

void interruptThread::stop() {
    if (!thread_.joinable()) {
        return;
    }
    interruptRunning_ = false;
    interruptEvent_.set();
    thread_.join();
}

void interruptThread::onHidInterrupt(uint8_t type, const uint8_t* data, void* context) {
    auto* self = static_cast<interruptThread*>(context);
    {
        std::lock_guard<std::mutex> lock(self->mailboxMutex_);
        self->interruptType_ = type;
        std::copy_n(data, self->interruptData_.size(), self->interruptData_.begin());
    }
    self->interruptEvent_.set();
}

void interruptThread::run() {
    uint8_t type = 0;
    data report{};
    while (take(type, report)) {
        if (type == kStatusInterrupt && handler_) {
            handler_(report);
        }
    }
}

bool interruptThread::take(uint8_t& type, data& report) {
    interruptEvent_.wait();
    // Reset before reading, so that a report arriving meanwhile is taken in the next pass.
    interruptEvent_.reset();
    if (!interruptRunning_) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mailboxMutex_);
    type = interruptType_;
    report = interruptData_;
    ++reportsTaken_;
    return true;
}

}  // namespace dravix
