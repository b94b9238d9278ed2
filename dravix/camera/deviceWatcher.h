#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "camera/videoDeviceList.h"
#include "log/logger.h"
#include "platform/manualResetEvent.h"
#include "platform/restartableThread.h"

namespace dravix {

// Watches the video device of an open camera: every 40 ms it counts the matching devices into
// the shared device list and looks for the camera's own device by its instance key. It has the
// camera closed when that device is gone and reopened, on the device's current path, when it
// returns; devices of other cameras coming and going only change the count it reports. A device
// that stays listed while the camera's command channel is dead is taken as gone and back.
class deviceWatcher {
  public:
    static constexpr std::chrono::milliseconds kPeriod{40};
    // A device that came back may not be usable at once (its node is still being set up): a
    // failed reopen is tried again in this many following passes (one second).
    static constexpr int kReopenRetries = 25;
    // A camera's HID node may appear after its video node: after a reopen without the HID
    // channel, it is looked for again in this many following passes (five seconds).
    static constexpr int kHidRetries = 125;
    // Passes in a row that must list a device whose command channel found it gone before the
    // camera is closed and opened anew.
    static constexpr int kDeadChannelPasses = 2;

    // What the watcher does to its camera; called on the watcher's thread.
    class client {
      public:
        virtual ~client() = default;
        // The instance key of the camera's video device; empty when it has none.
        virtual std::string deviceKey() const = 0;
        // True when the camera's command channel found its device gone (unplugged, restarted, or
        // its HID interface lost); the watcher decides from the listing what that means.
        virtual bool isChannelGone() const = 0;
        // The camera's device vanished: close it, keeping what is needed to reopen it.
        virtual void onDeviceLost() = 0;
        // The camera's device is back at `devicePath`: reopen the camera there. 0 when it is
        // open again.
        virtual int onDeviceReturned(const std::string& devicePath) = 0;
        // After a reopen: opens the HID channel if it is still missing. True when nothing is
        // missing any more (the channel is open, or the camera is no longer open).
        virtual bool openMissingHid() = 0;
        // The count changed, or the camera was closed in this pass (`lost`; after onDeviceLost):
        // report it.
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
    // What the watcher knows between its passes; only its thread uses it.
    struct passState {
        uint8_t lastCount;
        bool devicePresent;
        // Passes left to retry a reopen that failed, and to look for a missing HID channel.
        int reopenRetries;
        int hidRetries;
        // Passes in a row that listed the device while its command channel was dead.
        int deadChannelPasses;
    };

    void run();
    // One enumeration and what follows from what it found.
    void pass(passState& state);
    // Has the camera closed or reopened as its device went or came, and retries what failed;
    // true when it closed the camera in this pass.
    bool followDevice(passState& state, bool present, const std::string& devicePath);
    void reopen(passState& state, const std::string& devicePath, int retriesLeft);

    videoDeviceList& devices_;
    logger& log_;
    client& owner_;
    manualResetEvent wake_;
    std::atomic<uint8_t> cameraCount_{0};
    // Last: it ends before the members its thread uses.
    restartableThread thread_;
};

}  // namespace dravix
