#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "device/fx3Hid.h"
#include "dsp/wbPushRegistration.h"
#include "log/logger.h"

namespace dravix {

// The camera's DSP functions: numbered value blocks of the image pipeline.
enum class DspFunction : uint8_t {
    CrCbGain = 0x00,
    Hue = 0x01,
    Saturation = 0x02,
    MaskEnable = 0x03,
    MaskParams = 0x04,
    EdgeEnhancement0 = 0x05,
    Gamma0 = 0x06,
    Gain = 0x07,
    WbWindow = 0x08,
    Sobel0 = 0x09,
    WbPush = 0x0A,
    ColorMatrix = 0x0B,
    AEValues = 0x0C,
    KeySetting = 0x0D,
    WindowPosition = 0x0E,
    WindowSizes = 0x0F,
    Target = 0x10,
    EdgeMode = 0x15,
    Scale = 0x16,
    WindowAEMode = 0x19,
    Offset = 0x1B,
    HvFlip = 0x1E,
    ucConfig = 0x1F,
    ToggleState = 0x20,
    EdgeEnhancement1 = 0x21,
    Gamma1 = 0x22,
    Sobel1 = 0x23,
    CamType = 0x24,
    UpInt = 0x25,
    RawMode = 0x26,
    DpcDetect = 0x27,
    DpcConfig = 0x28,
    DpcTable = 0x29,
    OvExp = 0x2A,
    OvExpTarget = 0x2B,
    OvExpWeight = 0x2C,
    Binning = 0x2E,
    OvExpTargetSteps = 0x2F,
    BayerMode = 0x30,
};

constexpr uint8_t dspCode(DspFunction function) {
    return static_cast<uint8_t>(function);
}

// The block sizes of one function; 0 where the function is never read (or never written).
struct dspFunctionSizes {
    DspFunction function;
    uint8_t readBytes;
    uint8_t writeBytes;
};

inline constexpr std::array<dspFunctionSizes, 39> kDspFunctions{{
    {DspFunction::CrCbGain, 10, 10},
    {DspFunction::Hue, 2, 2},
    {DspFunction::Saturation, 2, 2},
    {DspFunction::MaskEnable, 3, 3},
    {DspFunction::MaskParams, 10, 10},
    {DspFunction::EdgeEnhancement0, 7, 7},
    {DspFunction::Gamma0, 37, 37},
    {DspFunction::Gain, 8, 8},
    {DspFunction::WbWindow, 9, 9},
    {DspFunction::Sobel0, 4, 4},
    {DspFunction::WbPush, 0, 1},
    {DspFunction::ColorMatrix, 18, 18},
    {DspFunction::AEValues, 15, 15},
    {DspFunction::KeySetting, 50, 50},
    {DspFunction::WindowPosition, 3, 3},
    {DspFunction::WindowSizes, 32, 33},
    {DspFunction::Target, 2, 2},
    {DspFunction::EdgeMode, 1, 1},
    {DspFunction::Scale, 10, 10},
    {DspFunction::WindowAEMode, 0, 2},
    {DspFunction::Offset, 2, 2},
    {DspFunction::HvFlip, 1, 1},
    {DspFunction::ucConfig, 4, 5},
    {DspFunction::ToggleState, 2, 0},
    {DspFunction::EdgeEnhancement1, 7, 7},
    {DspFunction::Gamma1, 37, 37},
    {DspFunction::Sobel1, 4, 4},
    {DspFunction::CamType, 1, 1},
    {DspFunction::UpInt, 0, 1},
    {DspFunction::RawMode, 0, 1},
    {DspFunction::DpcDetect, 0, 1},
    {DspFunction::DpcConfig, 3, 3},
    {DspFunction::DpcTable, 64, 64},
    {DspFunction::OvExp, 4, 4},
    {DspFunction::OvExpTarget, 4, 4},
    {DspFunction::OvExpWeight, 24, 24},
    {DspFunction::Binning, 1, 1},
    {DspFunction::OvExpTargetSteps, 11, 11},
    {DspFunction::BayerMode, 1, 1},
}};

// The sizes of function `code`, or null for a code outside the table.
const dspFunctionSizes* findDspFunction(uint8_t code);

// Reads and writes the camera's DSP function blocks over its HID command channel, in chunks
// that fit one command report, and sends the other image-pipeline commands.
//
// Every chunk is one request/reply exchange under the channel's transaction lock, so threads
// that share the channel never take each other's replies. A whole block (all its chunks) is moved
// under the camera's block lock, so two threads' blocks never interleave; holdBlocks() extends
// that over a sequence of blocks. Operations return 0 on success and 1
// on failure; every message is logged at ERROR level.
class cameraDsp {
  public:
    static constexpr uint8_t kCmdDspGet = 0x20;
    static constexpr uint8_t kCmdDspSet = 0x21;
    static constexpr uint8_t kCmdDspSave = 0x22;
    static constexpr uint8_t kCmdHidCalibration = 0x23;
    // Value bytes per exchange: a reply carries the code echo and 60 bytes, a request the code,
    // a two-byte offset and 59 bytes.
    static constexpr int kReadChunk = 60;
    static constexpr int kWriteChunk = 59;

    explicit cameraDsp(logger& log);
    cameraDsp(const cameraDsp&) = delete;
    cameraDsp& operator=(const cameraDsp&) = delete;

    // Writes the flip byte (horizontal << 1) | vertical; each flag counts as set when non-zero.
    virtual uint8_t setHvFlip(uint8_t horizontal, uint8_t vertical);
    // Writes the flip byte unchanged.
    virtual uint8_t setHvFlipByte(uint8_t value);
    virtual ~cameraDsp();

    // The camera's channel; null while its HID interface is closed. An operation keeps the
    // channel it started with alive until it ends, so the owner may replace or drop it meanwhile
    // (after closing it, the operation fails at once).
    void setHid(std::shared_ptr<fx3Hid> hid);
    std::shared_ptr<fx3Hid> hid() const;

    // Reads `length` bytes of function `code` into `out`. A failed chunk zeroes `out` from its
    // offset to the end; a reply for another code leaves its part of `out` as it was. A length
    // of zero or less reads nothing and returns 0.
    uint8_t getDspFunction(uint8_t code, uint8_t* out, int16_t length);
    // The same; `conflicting` tells whether a reply named another function (its part of `out`
    // then holds no camera data although the status is 0).
    // Virtual, like the write, so that a stand-in camera can serve the blocks.
    virtual uint8_t getDspFunction(uint8_t code, uint8_t* out, int16_t length, bool& conflicting);
    // Writes `length` bytes from `in` to function `code`; a length of zero or less writes
    // nothing and returns 0.
    virtual uint8_t setDspFunction(uint8_t code, const uint8_t* in, int16_t length);
    uint8_t setHidCalibration(uint8_t mode, uint8_t value);
    // Has the camera store its current DSP settings; logs nothing on failure.
    uint8_t saveDspSettings();

    // Holds the block lock until the returned lock ends: several blocks read or written by this
    // thread meanwhile form one unit. Recursive, so the operations above may run inside it.
    std::unique_lock<std::recursive_mutex> holdBlocks();
    // The white-balance push callback with its user value; null after construction.
    wbPushRegistration& wbPush() { return wbPush_; }

  protected:
    logger& log_;

  private:
    // The channel, or null after logging "<operation>: HID not initialized".
    std::shared_ptr<fx3Hid> channel(const char* operation);
    // A null buffer with bytes to move is refused with a message.
    bool missingBuffer(const char* operation, const void* buffer, int16_t length);
    // Runs `exchange` on every chunk of `length` bytes, even after a failed one, and logs
    // `operation` for each failure. 1 when any chunk failed: a block is whole or not at all.
    template <typename Exchange>
    uint8_t forEachChunk(const char* operation, int16_t length, int chunkSize, Exchange exchange);
    uint8_t readChunk(fx3Hid& hid, uint8_t code, int offset, uint8_t* out, int chunk,
                      bool& conflicting);
    uint8_t writeChunk(fx3Hid& hid, uint8_t code, int offset, const uint8_t* in, int chunk);
    // Logs the conflicting-type message when the reply names another function.
    bool echoMatches(const char* operation, uint8_t code, uint8_t echo);
    uint8_t writeFlipByte(uint8_t value);

    mutable std::mutex hidMutex_;
    std::shared_ptr<fx3Hid> hid_;
    std::recursive_mutex blockMutex_;
    wbPushRegistration wbPush_;
};

}  // namespace dravix
