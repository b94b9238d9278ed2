#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "device/deviceCommands.h"
#include "device/fx3Hid.h"
#include "device/updateClock.h"
#include "device/updateProgress.h"
#include "log/logger.h"
#include "platform/manualResetEvent.h"

namespace dravix {

// What one running update works with: the image, the channel it started on (never a channel
// opened later: a camera that came back after a close or an unplug may be another device state
// entirely), the commands on that channel, the progress counters, the clock and the cancel
// event. The methods check cancelled() between their units and wait only through pause().
class updateSession {
  public:
    updateSession(logger& log, std::vector<uint8_t> image, std::shared_ptr<fx3Hid> channel,
                  DeviceStatus& status, std::recursive_mutex& statusMutex, updateProgress& progress,
                  updateClock& clock, manualResetEvent& cancel);

    logger& log() { return log_; }
    const std::vector<uint8_t>& image() const { return image_; }
    std::vector<uint8_t>& image() { return image_; }
    fx3Hid& channel() { return *channel_; }
    deviceCommands& commands() { return commands_; }
    updateProgress& progress() { return progress_; }

    // True once the update is to end: it was cancelled, or its channel's device is gone (a
    // device that comes back is never written to by this update). Logs "update aborted" (ERROR)
    // the first time.
    bool cancelled();
    // Waits `duration` unless cancelled first; false (after the abort message) when cancelled.
    bool pause(std::chrono::milliseconds duration);
    // The first failure code stays: a later one is stored only while the result is still 0.
    void keepFirstError(uint8_t code);

  private:
    logger& log_;
    std::vector<uint8_t> image_;
    std::shared_ptr<fx3Hid> channel_;
    deviceCommands commands_;
    updateProgress& progress_;
    updateClock& clock_;
    manualResetEvent& cancel_;
    bool abortLogged_ = false;
};

}  // namespace dravix
