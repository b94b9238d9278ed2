#include "api/deviceWatcher.h"

namespace dravix {

namespace {
constexpr uint8_t kNoCount = 255;
}  // namespace

deviceWatcher::deviceWatcher(videoDeviceList& devices, logger& log, client& owner)
    : devices_(devices), log_(log), owner_(owner) {}

deviceWatcher::~deviceWatcher() {
    stop();
}

void deviceWatcher::start() {
    if (isCurrentThread()) {
        running_ = true;
        return;
    }
    std::lock_guard<std::mutex> lock(joinMutex_);
    if (thread_.joinable()) {
        if (running_) {
            return;
        }
        thread_.join();  // asked to stop without waiting; ended or about to
    }
    wake_.reset();
    running_ = true;
    thread_ = std::thread(&deviceWatcher::run, this);
}

void deviceWatcher::stop() {
    requestStop();
    if (isCurrentThread()) {
        return;
    }
    std::lock_guard<std::mutex> lock(joinMutex_);
    if (thread_.joinable()) {
        thread_.join();
    }
}

void deviceWatcher::requestStop() {
    running_ = false;
    wake_.set();
}

void deviceWatcher::run() {
    threadId_ = std::this_thread::get_id();
    uint8_t last = kNoCount;
    bool firstPass = true;
    while (running_) {
        pass(last, firstPass);
        firstPass = false;
        if (wake_.waitFor(kPeriod)) {
            wake_.reset();  // a stop request (seen below), or one that start() cancelled
        }
    }
    threadId_ = std::thread::id();  // ids are reused by later threads
}

void deviceWatcher::pass(uint8_t& last, bool firstPass) {
    uint8_t count = 0;
    devices_.enumerateWatchingSlot0(count);
    cameraCount_ = count;
    if (count == last) {
        if (reopenRetries_ > 0) {
            reopen(reopenRetries_ - 1);
        }
        return;
    }
    log_.info("camera count changed %d", count);
    const bool lost = count < last && last != kNoCount;
    reopenRetries_ = 0;
    if (lost) {
        owner_.onDeviceLost();
    } else if (!firstPass) {
        reopen(kReopenRetries);
    }
    owner_.onCountChanged(count, lost);
    last = count;
}

void deviceWatcher::reopen(int retriesLeft) {
    lastReopen_ = owner_.onDeviceReturned();
    reopenRetries_ = lastReopen_ != 0 ? retriesLeft : 0;
}

}  // namespace dravix
