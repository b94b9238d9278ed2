#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "device/fx3Hid.h"
#include "log/logger.h"

namespace dravix {

// What the recorder unit does, selected by the first data byte of the recorder command.
enum class RecFunction : uint8_t {
    Start = 0x01,
    Stop = 0x02,
    Capture = 0x03,
    Update = 0x40,
    Reboot = 0x41,
    Explorer = 0x42,
    SetDate = 0x43,
    SetCmd = 0x44,
    SetDebugMode = 0x45,
    SetOsdRec = 0x46,
    CopyLogfile = 0x47,
    PrepareUsb = 0x48,
    ReinitOsd = 0x49,
};

constexpr uint8_t recCode(RecFunction function) {
    return static_cast<uint8_t>(function);
}

// Sends recorder functions to the camera's recorder unit over the camera's HID channel: the
// function code, the number of parameter bytes and the bytes, in one command report. Only the
// reply status comes back; what the recorder did is reported by its interrupts.
class cameraRec {
  public:
    static constexpr uint8_t kCmdRecFunc = 0x30;
    static constexpr uint32_t kReplyTimeoutMs = 1000;
    // Code and count come first in the report's 62 data bytes.
    static constexpr uint8_t kMaxParameters = fx3Hid::kMaxRequestPayload - 2;

    using channelSource = std::function<std::shared_ptr<fx3Hid>()>;
    using clock = std::function<std::chrono::system_clock::time_point()>;

    // `channel` gives the camera's open channel or null; it is asked at every function, so a
    // closed channel is never used through a pointer kept from before.
    cameraRec(logger& log, channelSource channel);
    cameraRec(const cameraRec&) = delete;
    cameraRec& operator=(const cameraRec&) = delete;
    virtual ~cameraRec();

    // Sends function `code` with `count` bytes from `parameters` and waits up to 1000 ms for the
    // reply. 0, or 1 (logged at ERROR) when there is no channel, more than 60 bytes are given,
    // the exchange fails or the recorder answers an error.
    uint8_t setRecFunc(uint8_t code, const uint8_t* parameters, uint8_t count);

    // The time the date function sends: the system clock, unless another is set (for tests).
    std::chrono::system_clock::time_point now() const;
    void setClock(clock source);

  private:
    logger& recorderLog_;
    const channelSource channel_;
    mutable std::mutex clockMutex_;
    clock clock_;
};

}  // namespace dravix
