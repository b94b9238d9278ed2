#include "api/deviceWatcher.h"

namespace dravix {

namespace {
constexpr uint8_t kNoCount = 255;
}  // namespace

deviceWatcher::deviceWatcher(videoDeviceList& devices, logger& log, client& owner)
    : devices_(devices), log_(log), owner_(owner) {}

deviceWatcher::~deviceWatcher() {
    stop();
    if (thread_.joinable()) {
        thread_.join();  // asked to stop from its own thread earlier
    }
}

void deviceWatcher::start() {
    if (isRunning() || std::this_thread::get_id() == thread_.get_id()) {
        return;
    }
    if (thread_.joinable()) {
        thread_.join();  // stopped from inside, ended already or about to
    }
    wake_.reset();
    running_ = true;
    thread_ = std::thread(&deviceWatcher::run, this);
}

void deviceWatcher::stop() {
    running_ = false;
    wake_.set();
    if (thread_.joinable() && std::this_thread::get_id() != thread_.get_id()) {
        thread_.join();
    }
}

void deviceWatcher::run() {
    uint8_t last = kNoCount;
    bool firstPass = true;
    while (running_) {
        pass(last, firstPass);
        firstPass = false;
        wake_.waitFor(kPeriod);
    }
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
