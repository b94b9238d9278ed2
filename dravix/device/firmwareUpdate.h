#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "device/fx3Hid.h"
#include "device/updateClock.h"
#include "device/updateProgress.h"
#include "device/updateSession.h"
#include "dravix/dravix.h"
#include "log/logger.h"
#include "platform/manualResetEvent.h"
#include "platform/ownedThread.h"

namespace dravix {

// The firmware updates of one camera: at most one update thread at a time, owned here, which
// a close, a destroy or the loss of the camera's device cancels; the owner joins it. A second
// request while an update runs waits up to a second for it and is otherwise refused without
// touching the running update. The progress counters outlive the update, so they stay readable
// while the camera is closed and comes back after the update.
class firmwareUpdate {
  public:
    static constexpr std::chrono::milliseconds kPreviousUpdateWait{1000};

    firmwareUpdate(logger& log, DeviceStatus& status, std::recursive_mutex& statusMutex);
    // Cancels and joins a running update.
    ~firmwareUpdate();
    firmwareUpdate(const firmwareUpdate&) = delete;
    firmwareUpdate& operator=(const firmwareUpdate&) = delete;

    // For tests: the clock of every later pause and wait.
    void setClock(updateClock& clock);

    // Reads the file at `path` for `component` and starts its update on `channel`; 0 once the
    // thread runs, 1 (after the message) when the request is refused.
    uint8_t start(uint8_t component, const std::string& path, std::shared_ptr<fx3Hid> channel);
    // Asks a running update to end at its next step; a pause ends at once.
    void requestCancel();
    // requestCancel(), then waits for the thread, except on a library thread (inside a callback),
    // where it only asks; the next start or the destructor joins.
    void cancelAndJoin();

    const updateProgress& progress() const { return progress_; }
    // True from a start until the update thread has let go of everything; the progress shows
    // the update finished a moment earlier.
    bool isRunning() const { return !ended_.isSet(); }

  private:
    // Waits up to kPreviousUpdateWait for a previous thread and joins it; false if it still runs.
    bool previousUpdateEnded();
    // Reads and checks the file; false (after the message) when it can't be used.
    bool readImage(uint8_t component, const std::string& path, std::vector<uint8_t>& image);
    void run(uint8_t component, std::unique_ptr<updateSession> session);
    uint8_t runMethod(uint8_t component, updateSession& session);

    logger& log_;
    DeviceStatus& status_;
    std::recursive_mutex& statusMutex_;
    updateClock* clock_;

    // Serialises start() and joins against each other.
    std::mutex requestMutex_;
    manualResetEvent cancel_;
    manualResetEvent ended_{true};
    updateProgress progress_;
    // Declared last: joined first, while everything it uses exists.
    ownedThread thread_;
};

}  // namespace dravix
