#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "emu/emulatedBlockFlash.h"
#include "emu/emulatedCommand.h"
#include "emu/emulatedDsp.h"
#include "emu/emulatedDspEvents.h"
#include "emu/emulatedFeaturePort.h"
#include "emu/emulatedFlashLoader.h"
#include "emu/emulatedHeadController.h"
#include "emu/emulatedHidEndpoint.h"
#include "emu/emulatedI2cBus.h"
#include "emu/emulatedI2cCommands.h"
#include "emu/emulatedIdentity.h"
#include "emu/emulatedInterrupts.h"
#include "emu/emulatedJtagPort.h"
#include "emu/emulatedRecorder.h"
#include "emu/emulatedReplyFate.h"
#include "emu/emulatedVideoFormat.h"
#include "emu/emulatedVideoSource.h"
#include "emu/emulatedWireRecorder.h"
#include "platform/hid.h"
#include "platform/ownedThread.h"
#include "platform/video.h"

namespace dravix::emu {

// One emulated camera as its HID interface shows it to the host: it answers every command
// report with one reply report (id 1, the command id echoed, a status byte) after the reply
// latency, sends interrupt reports (id 2) on request, and serves the feature-report data phases
// of its commands. Commands are answered by handlers registered per command id; the DSP
// commands (0x20 to 0x23), the recorder command (0x30), the identity commands (0x02 to 0x04 and
// 0xD0, 0xD2, 0xD3), the I2C commands (0xE0 read, 0xE1 write) and the end-of-transfer command
// (0xE2) are built in. Writing the DSP flip byte sets the video's vertical flip.
//
// Its video interface streams a moving test pattern (testPattern) in YUY2 at the camera's format;
// unplug() removes both interfaces.
//
// The camera raises its own events through its interrupt switches (emulatedInterrupts): its
// start after a replug or a reboot (source 2 bit 0, when asked for), the head's start when the head
// is powered on (source 1 bit 0, then source 2 bit 1), and head key presses. These arrive before
// the reply to the command that caused them.
//
// The control methods are for tests and may be called from any thread.
class emulatedCamera {
  public:
    static constexpr uint16_t kVendorId = 0x20F1;
    static constexpr uint16_t kProductId = 0x0107;
    static constexpr std::size_t kReportSize = 64;
    static constexpr uint8_t kCommandReportId = 1;
    static constexpr uint8_t kInterruptReportId = 2;
    static constexpr std::chrono::microseconds kDefaultReplyLatency{1000};
    static constexpr const char* kHidPathPrefix = "emulated:hid:";
    static constexpr const char* kVideoPathPrefix = "emulated#video#";
    static constexpr const char* kVideoNamePrefix = "dravixUVC Emulated Camera ";

    // `number` (1..99) names the camera's HID path "emulated:hid:<number>"; with `setId` it makes
    // the video device key, which tells this camera from those of other sets.
    explicit emulatedCamera(int number, uint32_t setId = 0, const emulatedVideoFormat& format = {});
    // Ends a departure in progress (emulatedReplyFate) without its return.
    ~emulatedCamera();
    emulatedCamera(const emulatedCamera&) = delete;
    emulatedCamera& operator=(const emulatedCamera&) = delete;

    int number() const { return number_; }
    const std::string& hidPath() const { return hidPath_; }
    // The HID collections of the camera in enumeration order: a vendor-defined one, then the
    // command interface. None while unplugged.
    std::vector<platform::hidInterfaceInfo> hidCollections() const;

    // The key of the camera as a USB device, "EMUCAM-<number>-<setId, low 24 bits in hex>": at
    // most 16 characters, so that it stays whole where only its first 16 count.
    const std::string& videoKey() const { return videoKey_; }
    // "emulated#video#<key>#<number>", and "emulated#video#<key>#<number>.<n>" after the n-th
    // renumberVideo().
    std::string videoPath() const;
    // The capture device as the host lists it; none while unplugged.
    std::optional<platform::videoDeviceInfo> videoDevice() const;

    // The format the next connect() negotiates; std::invalid_argument unless
    // emulatedVideoFormat::isValid() accepts it. A running stream keeps its format.
    void setVideoFormat(uint16_t width, uint16_t height, uint16_t fps);
    emulatedVideoFormat videoFormat() const;
    // While paused, a running stream keeps its frame schedule but delivers no pattern frames;
    // buffers from deliverBuffer() still go through.
    void pauseFrames(bool paused);
    // Hands `buffer`, of any length, to the sink of the running stream, on the streaming thread
    // and in order with the pattern frames. False (and dropped) when no stream runs.
    bool deliverBuffer(std::vector<uint8_t> buffer);
    // The buffers handed to sinks since the camera was made: pattern frames and injected ones.
    uint64_t framesDelivered() const;
    // Renders the frames upside down, as the camera does with its flip setting on.
    void setVerticalFlip(bool flipped);
    bool verticalFlip() const;

    // Answers command `commandId` with `handler` from now on; null removes the handler, and the
    // command is then answered with NOT IMPLEMENTED.
    void setCommandHandler(uint8_t commandId, commandHandler handler);
    // For handlers that open feature-report data phases.
    emulatedFeaturePort& featurePort() { return features_; }
    emulatedI2cBus& i2cBus() { return bus_; }
    // The block-protocol firmware update of components 0, 1 and 10 (0xC0 to 0xC2).
    emulatedBlockFlash& blockFlash() { return blockFlash_; }
    // The flash loaders of the head (0x78), user-control (0x32) and LED (0x74) controllers.
    emulatedFlashLoader& flashLoader(uint8_t address);
    // The head FPGA's JTAG port on the head controller (0x78).
    emulatedJtagPort& jtagPort();
    // The DSP function blocks, the save count and the last calibration command.
    emulatedDsp& dsp() { return dsp_; }
    // The interrupts that white balance, defect detection and storing the settings raise.
    emulatedDspEvents& dspEvents() { return dspEvents_; }
    // Versions, serial numbers, hardware revisions, the head controls and configuration blocks.
    emulatedIdentity& identity() { return identity_; }
    // The camera's own interrupts, through its interrupt switches; models raise their events here.
    emulatedInterrupts& interrupts() { return interrupts_; }
    // The recorder unit: fitted or absent, what its functions set, and its interrupts.
    emulatedRecorder& recorderUnit() { return recorderUnit_; }

    // The application states the host reported (CMD_APP_STATE), oldest first.
    std::vector<uint8_t> appStates() const;

    // Sends an interrupt report at once: id 2, `type`, the 60 data bytes, two zero bytes. The
    // interrupt switches do not apply.
    void injectInterrupt(uint8_t type, const std::array<uint8_t, 60>& data);
    // The same after `delay`, in order with the replies due by then.
    void injectInterrupt(uint8_t type, const std::array<uint8_t, 60>& data,
                         std::chrono::milliseconds delay);

    // While unplugged the camera is not enumerated, cannot be opened, and every call on a
    // handle fails with -ENODEV; handles opened before stay dead after replug().
    void unplug();
    void replug();
    // How long a restarting camera (a model's emulatedReplyFate) stays away before it is plugged
    // in again; negative: until replug(). 100 ms by default.
    void setRestartTime(std::chrono::milliseconds away);
    // Whether a replug or a reboot announces the camera's start (source 2 bit 0) as soon as its
    // HID interface is back. Off by default: a real camera sends it while it starts, mostly
    // before the host has opened its HID node again, and the host never sees it.
    void setStartAnnouncement(bool on);

    // A key press on the head: the head-key bytes the camera then reports, and INFO_KeyPressed
    // (source 1 bit 2), through the interrupt switches.
    void pressHeadKeys(uint8_t key0, uint8_t key1);
    bool isPlugged() const;
    // Plugs in the video interface alone, as when the host sets up the video node of a returning
    // camera before its HID node; replug() brings the HID interface too.
    void replugVideo();
    // Gives the video device another path with the same key, as the host may give a returning
    // camera another node. Meant for an unplugged camera: binds use the path of the moment.
    void renumberVideo();

    // Records every report on the wire: output reports written, input reports handed to the
    // reader, feature reports sent by the host (refused ones too) and served by the camera.
    void startRecording();
    void stopRecording();
    void clearRecording();
    std::vector<wireRecord> recorded() const;

    // Time between a command report and its reply; 0 answers within the write.
    void setReplyLatency(std::chrono::microseconds latency);
    std::chrono::microseconds replyLatency() const;

    // One-shot faults: each applies to the reply of one later command, in the order queued.
    void queueNoReply();
    void queueLateReply(std::chrono::milliseconds delay);
    // The reply is kept back until releaseHeldReplies(): a late reply whose arrival the caller
    // orders against its own steps instead of against the clock.
    void queueHeldReply();
    // Sends the replies kept back so far, oldest first, to the sessions they answer.
    void releaseHeldReplies();
    // How many replies are kept back now.
    std::size_t heldReplies() const;
    // The reply names `commandId` instead of the command it answers.
    void queueWrongEcho(uint8_t commandId);
    void queueReplyStatus(uint8_t status);
    void queueReplyReportId(uint8_t reportId);
    void clearFaults();

    // Persistent faults. A stalled write blocks for its time-out and then reports 0 bytes
    // written (the command never reaches the camera); failing feature transfers return -EIO.
    void setStalledWrites(bool stalled);
    void setFailingFeatures(bool failing);

  private:
    friend class emulatedHidBackend;
    friend class emulatedHidDevice;
    friend class emulatedVideoBackend;
    friend class emulatedVideoCapture;

    using report = emulatedHidEndpoint::report;

    struct replyFault {
        enum class kind { noReply, lateReply, heldReply, wrongEcho, status, reportId };
        kind what;
        uint8_t value = 0;
        std::chrono::milliseconds delay{0};
    };

    // What answering one command needs, taken in one go under mutex_.
    struct commandSettings {
        std::shared_ptr<const commandHandler> handler;
        std::optional<replyFault> fault;
        std::chrono::microseconds latency;
    };

    // The host side of the camera's handles; `session` is the one the handle was opened in.
    uint64_t openSession() const;
    int writeReport(uint64_t session, const uint8_t* output, std::size_t length, int timeoutMs);
    int readReport(uint64_t session, uint8_t* buffer, std::size_t size, int timeoutMs);
    int sendFeatureReport(uint64_t session, const uint8_t* feature, std::size_t length);
    int getFeatureReport(uint64_t session, uint8_t* feature, std::size_t length);

    void installBuiltInCommands();
    void installIdentityCommands();
    void installFirmwareCommands();
    // The control command with the events of head power and reboot.
    commandReply control(const commandPayload& payload);
    void announceStart();
    void queueFault(const replyFault& fault);
    commandSettings settingsFor(uint8_t commandId);
    void answer(uint64_t session, const report& command);
    // The camera leaves once the host has taken the replies posted so far: unplugged, and for a
    // restart plugged in again after the restart time. Runs on its own thread, as a reset does.
    void depart(bool comeBack);
    void departureMain(uint64_t session, bool comeBack);
    // Commands and feature transfers wait while a departure is due, so none reaches the camera
    // between the reply before its leaving and the leaving itself.
    void awaitDeparture();
    void deliver(uint64_t session, report& reply, const commandSettings& settings);
    // Keeps `reply` back until releaseHeldReplies().
    void hold(uint64_t session, const report& reply);

    const int number_;
    const std::string hidPath_;
    const std::string videoKey_;
    // Guarded by mutex_.
    int renumbered_ = 0;
    emulatedFeaturePort features_;
    emulatedI2cBus bus_;
    emulatedI2cCommands i2c_;
    emulatedBlockFlash blockFlash_;
    std::shared_ptr<emulatedJtagPort> jtag_;
    std::map<uint8_t, std::shared_ptr<emulatedFlashLoader>> loaders_;
    emulatedDsp dsp_;
    emulatedDspEvents dspEvents_;
    emulatedIdentity identity_;
    emulatedInterrupts interrupts_;
    emulatedRecorder recorderUnit_;
    emulatedWireRecorder recorder_;
    std::atomic<bool> stalledWrites_{false};
    std::atomic<bool> startAnnouncement_{false};

    mutable std::mutex mutex_;
    std::array<std::shared_ptr<const commandHandler>, 256> handlers_;
    std::deque<replyFault> faults_;
    std::vector<std::pair<uint64_t, report>> heldReplies_;
    std::chrono::microseconds latency_ = kDefaultReplyLatency;
    std::vector<uint8_t> appStates_;

    emulatedVideoSource video_;

    // Late, so that its delivery thread ends before anything but the departure goes.
    emulatedHidEndpoint endpoint_;

    std::mutex departureMutex_;
    std::condition_variable departureChanged_;
    bool departing_ = false;
    bool closing_ = false;
    std::chrono::milliseconds restartTime_{100};
    // Starts and joins of the departure thread.
    std::mutex departureThreadMutex_;
    // After the endpoint: the departure uses it, and is joined first.
    ownedThread departure_;
};

}  // namespace dravix::emu
