#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "device/fx3Hid.h"
#include "dravix/dravix.h"
#include "log/logger.h"

namespace dravix {

// The camera's own commands over its HID channel: identity records of its components, USB
// speed, head information, output size, configuration blocks, the I2C pass-through and the
// application state. Operations return 0 on success and non-zero on failure; every message is
// logged. Values that belong in the camera's status record are written there under its lock.
class deviceCommands {
  public:
    static constexpr uint8_t kCmdGetVersion = 0x02;
    static constexpr uint8_t kCmdGetSerial = 0x03;
    static constexpr uint8_t kCmdGetHwRev = 0x04;
    static constexpr uint8_t kCmdCtrl = 0xD0;
    static constexpr uint8_t kCmdAppState = 0xD1;
    static constexpr uint8_t kCmdConfigSet = 0xD2;
    static constexpr uint8_t kCmdConfigGet = 0xD3;
    static constexpr uint8_t kCmdI2cRead = 0xE0;
    static constexpr uint8_t kCmdI2cWrite = 0xE1;

    static constexpr uint8_t kCtrlUsbSpeed = 0x01;
    static constexpr uint8_t kCtrlHeadInfo = 0x02;
    static constexpr uint8_t kCtrlOutputSize = 0x10;
    static constexpr uint8_t kCtrlHeadKeys = 0x20;
    static constexpr uint8_t kCtrlHeadPower = 0x80;
    static constexpr uint8_t kCtrlFx3Intr = 0x81;
    static constexpr uint8_t kCtrlReboot = 0x82;
    static constexpr uint8_t kCtrlHeadInt = 0x83;

    static constexpr std::size_t kHeadInfoSize = 18;
    static constexpr std::size_t kConfigBlockSize = 32;
    static constexpr std::size_t kI2cHeaderSize = 4;
    // The most an I2C transfer may carry through a feature report.
    static constexpr uint16_t kI2cFeatureLimit = 1018;

    using channelSource = std::function<std::shared_ptr<fx3Hid>()>;

    // `channel` gives the camera's open channel or null; `status` and its lock are the camera's.
    deviceCommands(logger& log, channelSource channel, DeviceStatus& status,
                   std::recursive_mutex& statusMutex);

    // Identity records of `component`. Outputs are zeroed first. A version or build reply that
    // names another component leaves them zero and succeeds; a serial or revision one fails.
    uint8_t getVersion(uint8_t component, VersionInfo& version, BuildInfo& build);
    uint8_t getBuild(uint8_t component, BuildInfo& build);
    uint8_t getSerialNumber(uint8_t component, SerialInfo& serial);
    uint8_t getHardwareRev(uint8_t component, uint32_t& revision);
    uint8_t setSerialNumber(uint8_t component, const uint8_t* serial);
    uint8_t setHardwareRev(uint8_t component, uint32_t revision);

    // Stores the speed code in the status record.
    uint8_t getUsbSpeed();
    uint8_t getHeadInfo(uint8_t* info);
    // Keeps the video output size; always 0 (a failure is only logged).
    uint8_t getOutputSize();
    uint16_t outputWidth() const { return outputWidth_; }
    uint16_t outputHeight() const { return outputHeight_; }

    // Reboot (0x0100, 0), set (0x00D2) or get (0x00D3) configuration block 0x81 or 0x82.
    uint8_t fx3Config(uint16_t par1, uint16_t par2, uint8_t* data, uint16_t length);
    // True for the fx3Config cases that read or write `data`.
    static bool movesConfigData(uint16_t par1, uint16_t par2);
    uint8_t rebootCamera();

    // The switches of the head power, of the controller's interrupt handling and of the head's
    // interrupts. A reply naming another sub-command is only logged: the transport's result
    // stands, as for rebootCamera.
    uint8_t setHeadPower(bool on);
    uint8_t setFx3IntrHandling(bool on);
    uint8_t enableHeadInt(bool on);

    // Stores the two head-key bytes in the status record and logs them (INFO), also after a
    // failure, which leaves the stored bytes as they were.
    uint8_t getHeadKeys();

    // `registerLength` bytes of register address, then `length` data bytes: in one report when
    // they fit, else through a feature report.
    uint8_t i2cRead(uint8_t address, const uint8_t* reg, uint8_t registerLength, uint8_t* out,
                    uint16_t length);
    uint8_t i2cWrite(uint8_t address, const uint8_t* reg, uint8_t registerLength,
                     const uint8_t* data, uint16_t length);

    uint8_t setAppState(uint8_t state);

    // Runs `change` on the status record under its lock.
    template <typename Change>
    void updateStatus(Change change) {
        std::lock_guard<std::recursive_mutex> lock(statusMutex_);
        change(status_);
    }

  private:
    // One request and `replyLength` bytes of its reply; 1 without a channel.
    uint8_t exchange(uint8_t commandId, const uint8_t* request, uint8_t requestLength,
                     uint8_t* reply, std::size_t replyLength);
    // A CMD_CTRL exchange whose reply must repeat the sub-command.
    enum class ctrlResult { ok, transportFailed, wrongEcho };
    ctrlResult control(const uint8_t* request, uint8_t requestLength, uint8_t* reply,
                       std::size_t replyLength);
    // A CMD_CTRL request answered by its echo alone; a wrong echo logs `wrongEchoText`.
    uint8_t echoedControl(const uint8_t* request, uint8_t requestLength, const char* wrongEchoText);
    uint8_t setSwitch(uint8_t subCommand, bool on, const char* wrongEchoText);
    // getVersion and getBuild: one command, logged as `operation` when it fails.
    uint8_t readVersion(const char* operation, uint8_t component, VersionInfo& version,
                        BuildInfo& build);
    uint8_t identityRequest(uint8_t commandId, uint8_t component, uint8_t* reply,
                            std::size_t replyLength);
    uint8_t setConfigBlock(uint8_t type, const uint8_t* data, uint16_t length);
    uint8_t getConfigBlock(uint8_t type, uint8_t* data, uint16_t length);
    bool registerTooLong(const char* operation, uint8_t registerLength);

    logger& log_;
    channelSource channel_;
    DeviceStatus& status_;
    std::recursive_mutex& statusMutex_;
    std::atomic<uint16_t> outputWidth_{0};
    std::atomic<uint16_t> outputHeight_{0};
};

}  // namespace dravix
