#include "api/deviceWatcher.h"

namespace dravix {

namespace {
constexpr uint8_t kNoCount = 255;
}  // namespace

deviceWatcher::deviceWatcher(videoDeviceList& devices, logger& log, client& owner)
    : devices_(devices),
      log_(log),
      owner_(owner),
      thread_([this] { run(); }, [this] { wake_.set(); }, "deviceWatcher") {}

deviceWatcher::~deviceWatcher() {
    stop();
}

void deviceWatcher::run() {
    uint8_t last = kNoCount;
    bool firstPass = true;
    while (thread_.keepRunning()) {
        pass(last, firstPass);
        firstPass = false;
        if (wake_.waitFor(kPeriod)) {
            wake_.reset();  // a stop (seen by keepRunning), or one that start() cancelled
        }
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
    reopenRetries_ = owner_.onDeviceReturned() != 0 ? retriesLeft : 0;
}

}  // namespace dravix
