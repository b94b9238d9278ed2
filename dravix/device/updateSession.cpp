#include "device/updateSession.h"

namespace dravix {

updateSession::updateSession(logger& log, std::vector<uint8_t> image,
                             std::shared_ptr<fx3Hid> channel, DeviceStatus& status,
                             std::recursive_mutex& statusMutex, updateProgress& progress,
                             updateClock& clock, manualResetEvent& cancel)
    : log_(log),
      image_(std::move(image)),
      channel_(std::move(channel)),
      commands_(
          log, [hid = channel_] { return hid; }, status, statusMutex),
      progress_(progress),
      clock_(clock),
      cancel_(cancel) {}

bool updateSession::cancelled() {
    if (!cancel_.isSet() && !channel_->isDeviceGone()) {
        return false;
    }
    if (!abortLogged_) {
        abortLogged_ = true;
        log_.error("camera::updateThread: update aborted");
    }
    return true;
}

// A device that went away during the pause ends it too, though only the cancel wakes it early.
bool updateSession::pause(std::chrono::milliseconds duration) {
    clock_.waitFor(cancel_, duration);
    return !cancelled();
}

void updateSession::keepFirstError(uint8_t code) {
    if (progress_.result() == 0) {
        progress_.setResult(code);
    }
}

}  // namespace dravix
