#include "camera/deviceWatcher.h"

#include <utility>

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
    // The camera was open with its device when the thread started.
    passState state{kNoCount, true, 0, 0, 0};
    while (thread_.keepRunning()) {
        pass(state);
        if (wake_.waitFor(kPeriod)) {
            wake_.reset();  // a stop (seen by keepRunning), or one that start() cancelled
        }
    }
}

void deviceWatcher::pass(passState& state) {
    uint8_t count = 0;
    std::string devicePath;
    const std::string key = owner_.deviceKey();
    devices_.enumerateWatching(key, count, devicePath);
    cameraCount_ = count;
    const bool countChanged = count != state.lastCount;
    if (countChanged) {
        log_.info("camera count changed %d", count);
    }
    // A device without a key can't be told from the others: any matching device stands for it.
    const bool listed = key.empty() ? count > 0 : !devicePath.empty();
    // A command channel found dead on passes that still list the device: the device restarted
    // faster than a pass, or lost its HID interface alone. It counts as gone once, so that the
    // camera is opened anew. A device being unplugged also kills its channel first, but leaves
    // the listing within a pass: waiting for a second pass keeps that an ordinary loss.
    state.deadChannelPasses = listed && owner_.isChannelGone() ? state.deadChannelPasses + 1 : 0;
    const bool present = listed && state.deadChannelPasses < kDeadChannelPasses;
    const bool lost = followDevice(state, present, devicePath);
    if (countChanged || lost) {
        owner_.onCountChanged(count, lost);
    }
    state.lastCount = count;
}

bool deviceWatcher::followDevice(passState& state, bool present, const std::string& devicePath) {
    const bool wasPresent = std::exchange(state.devicePresent, present);
    if (wasPresent && !present) {
        state.reopenRetries = 0;
        state.hidRetries = 0;
        owner_.onDeviceLost();
        return true;
    }
    if (!present) {
        return false;
    }
    if (!wasPresent) {
        reopen(state, devicePath, kReopenRetries);
    } else if (state.reopenRetries > 0) {
        reopen(state, devicePath, state.reopenRetries - 1);
    } else if (state.hidRetries > 0) {
        state.hidRetries = owner_.openMissingHid() ? 0 : state.hidRetries - 1;
    }
    return false;
}

void deviceWatcher::reopen(passState& state, const std::string& devicePath, int retriesLeft) {
    const bool reopened = owner_.onDeviceReturned(devicePath) == 0;
    state.reopenRetries = reopened ? 0 : retriesLeft;
    state.hidRetries = reopened ? kHidRetries : 0;
}

}  // namespace dravix
