#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "api/videoDeviceList.h"
#include "log/logger.h"
#include "platform/manualResetEvent.h"
#include "platform/restartableThread.h"

namespace dravix {

// Watches the video devices of an open camera: every 40 ms it counts the matching devices into
// the shared device list (watching slot 0) and, when the count changes, has the camera closed
// (fewer devices) or reopened (more) and reports the new count.
class deviceWatcher {
  public:
    static constexpr std::chrono::milliseconds kPeriod{40};
    // A device that came back may not be usable at once (its node is still being set up): a
    // failed reopen is tried again in this many following passes (one second).
    static constexpr int kReopenRetries = 25;

    // What the watcher does to its camera; called on the watcher's thread.
    class client {
      public:
        virtual ~client() = default;
        // The camera's device vanished: close it, keeping what is needed to reopen it.
        virtual void onDeviceLost() = 0;
        // More devices than before: reopen the camera. 0 when it is open again.
        virtual int onDeviceReturned() = 0;
        // The count changed (after onDeviceLost/onDeviceReturned): report it. `lost` tells
        // that the camera was closed in this pass.
        virtual void onCountChanged(uint8_t count, bool lost) = 0;
    };

    deviceWatcher(videoDeviceList& devices, logger& log, client& owner);
    ~deviceWatcher();
    deviceWatcher(const deviceWatcher&) = delete;
    deviceWatcher& operator=(const deviceWatcher&) = delete;

    // Starts the thread, or keeps it when it still runs (see restartableThread).
    void start() { thread_.start(); }
    // Ends the thread and waits for it, at most one pass.
    void stop() { thread_.stop(); }
    // Asks the thread to end after its pass; for the camera's own threads, which must not wait.
    void requestStop() { thread_.requestStop(); }
    bool isRunning() const { return thread_.isRunning(); }
    bool isCurrentThread() const { return thread_.isCurrentThread(); }
    // The count of the last enumeration.
    uint8_t cameraCount() const { return cameraCount_; }

  private:
    void run();
    // One enumeration and what follows from the count it gives; `last` is the previous count.
    void pass(uint8_t& last, bool firstPass);
    void reopen(int retriesLeft);

    videoDeviceList& devices_;
    logger& log_;
    client& owner_;
    manualResetEvent wake_;
    std::atomic<uint8_t> cameraCount_{0};
    // Passes left to retry a reopen that failed; only the watcher's thread uses it.
    int reopenRetries_ = 0;
    // Last: it ends before the members its thread uses.
    restartableThread thread_;
};

}  // namespace dravix
