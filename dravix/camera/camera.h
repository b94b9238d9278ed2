#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "camera/deviceWatcher.h"
#include "camera/videoDeviceList.h"
#include "device/deviceCommands.h"
#include "device/firmwareUpdate.h"
#include "device/fx3Hid.h"
#include "device/identityRefresh.h"
#include "device/interruptDecoder.h"
#include "device/interruptThread.h"
#include "dravix/dravix.h"
#include "dsp/cameraDsp.h"
#include "dsp/cameraRec.h"
#include "log/logger.h"
#include "platform/hid.h"
#include "platform/threadAnnotations.h"
#include "platform/video.h"
#include "video/fx3UvcVid.h"

namespace dravix {

// One camera of the camera table: its video path, its HID command channel with the interrupt
// thread, its status record and the device watcher that closes it when its device vanishes and
// reopens it when the device returns.
//
// Locking: lifecycleMutex_ serialises open and close between the client and the device watcher.
// The client's close waits for the watcher without holding it. The channel is shared with the
// DSP and recorder parts, so a command in progress on another thread keeps the closed channel alive
// until it fails and returns.
class camera : public cameraDsp, public cameraRec, private deviceWatcher::client {
  public:
    static constexpr uint16_t kDefaultVendorId = 0x20F1;
    static constexpr uint16_t kDefaultProductId = 0x0107;

    // `devices` is the shared device list the watcher enumerates into; it outlives the camera.
    // `video` and `hid` are the backends its devices are bound and opened through.
    camera(logger& log, videoDeviceList& devices, uint16_t vendorId, uint16_t productId,
           platform::videoBackend& video, platform::hidBackend& hid);
    // Stops the stream and every thread of the camera, then closes its interfaces.
    ~camera() override;

    // Opens the video device at `moniker` and, unless it is open, the HID interface; starts the
    // interrupt thread and the device watcher. 0, or 1 when the video device can't be used (a
    // missing HID interface is logged, and the camera opens without it).
    int open(const std::string& moniker);
    // The client's close: ends the device watcher, forgets the moniker, closes the interfaces.
    int close();

    // The start of ZEL_CAM_Start and ZEL_CAM_StartPic: reads the flip setting, prepares the mode
    // (`window` 0: frame callbacks) and starts the stream. A failure is logged as "<operation>
    // failed: hr = <result>". The result of the flip read or of the preparation; a failed stream
    // start is only logged.
    int startStream(void* window, const char* operation);

    // Both write the flip byte, then keep the vertical flip in the video path.
    uint8_t setHvFlip(uint8_t horizontal, uint8_t vertical) override;
    uint8_t setHvFlipByte(uint8_t value) override;

    // Stored for the device watcher and the interrupt thread; null switches calls off. A call
    // that has begun still runs with the callback it found (Destroy waits for it).
    void setStatusCallback(StatusCallback callback, void* user);
    // The camera's device commands and identity refresh sets, on its current channel.
    deviceCommands& commands() { return commands_; }
    identityRefresh& refresh() { return refresh_; }

    // Starts the update of `component` from the file at `path` on its own thread; 0 once it
    // runs, 1 when the camera is not open or the request is refused.
    uint8_t updateFirmware(const std::string& path, uint8_t component);
    // The progress of the last update in percent and its result (0 while running or after
    // success). Also after a close, as long as an update was asked for; else 1 with the
    // caller's value capped at 100.
    uint8_t updateStatus(uint8_t& percent);
    firmwareUpdate& firmware() { return update_; }

    fx3UvcVid& video() { return *video_; }
    bool isOpened() const { return opened_; }
    bool isHidOpen() const { return hidOpen_; }
    uint8_t cameraCount() const { return watcher_.cameraCount(); }
    // Reports taken by the interrupt thread, for diagnostics.
    uint64_t interruptReportsTaken() const { return interrupts_.reportsTaken(); }
    uint64_t interruptReportsHandled() const { return interrupts_.reportsHandled(); }

  private:
    std::string deviceKey() const override;
    void onDeviceLost() override;
    int onDeviceReturned(const std::string& devicePath) override;
    bool openMissingHid() override;
    bool isChannelGone() const override;
    void onCountChanged(uint8_t count, bool lost) override;

    // open() with lifecycleMutex_ held, without starting the watcher.
    int openLocked(const std::string& moniker);
    int openVideo();
    void openHid();
    // Opens the channel to the HID interface of the camera's own USB device; false when none
    // is there.
    bool openHidChannel();
    // Ends the watcher and the interrupt thread, or only asks them on a library thread.
    void endThreads();
    // Ends the interrupt thread (or asks it, on a library thread) without letting a refresh set
    // in progress wait out its commands' time-outs: the channel is about to close.
    void endInterrupts();
    // Closes the channel and releases the video device; keeps the moniker and the watcher.
    void closeInterfaces();
    // Hands the status record to the status callback, if any; statusMutex_ held.
    void reportStatus();

    platform::hidBackend& hidBackend_;
    const uint16_t vendorId_;
    const uint16_t productId_;
    std::unique_ptr<fx3UvcVid> video_;

    mutable std::mutex lifecycleMutex_;
    std::shared_ptr<fx3Hid> hid_;
    std::atomic<bool> hidOpen_{false};
    std::atomic<bool> opened_{false};
    std::string moniker_;
    interruptThread interrupts_;

    // Guards the status record; held during the status callback (which reads it), recursive
    // for the callback's own calls.
    std::recursive_mutex statusMutex_;
    std::unique_ptr<DeviceStatus> status_;
    // Guards the callback alone, so that registering one never waits for a call in progress.
    annotatedMutex callbackMutex_;
    StatusCallback statusCallback_ GUARDED_BY(callbackMutex_) = nullptr;
    void* statusUser_ GUARDED_BY(callbackMutex_) = nullptr;

    deviceCommands commands_;
    identityRefresh refresh_;
    firmwareUpdate update_;
    interruptDecoder decoder_;

    // Declared last: destroyed (and joined) first, while everything it uses still exists.
    deviceWatcher watcher_;
};

}  // namespace dravix
