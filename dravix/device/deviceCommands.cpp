#include "device/deviceCommands.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace dravix {

namespace {

constexpr std::size_t kVersionReply = 10;  // echo, major, minor, patch, build bytes, build number
constexpr std::size_t kIdentityRequest = 5;
constexpr std::size_t kVersionRequest = 10;
constexpr uint8_t kConfigBlockA = 0x81;
constexpr uint8_t kConfigBlockB = 0x82;
constexpr uint16_t kConfigReboot = 0x0100;
constexpr uint16_t kConfigSet = 0x00D2;
constexpr uint16_t kConfigGet = 0x00D3;

uint16_t bigEndian16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

uint32_t bigEndian32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
           static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

// The configuration sub-types that set a component's serial number; a revision's is one more.
// Components without one send sub-type 0.
uint8_t serialSubType(uint8_t component) {
    switch (component) {
        case 0:
            return 0x01;
        case 3:
            return 0x03;
        case 8:
            return 0x05;
        case 5:
            return 0x07;
        case 6:
            return 0x09;
        case 7:
            return 0x0B;
        default:
            return 0;
    }
}

uint8_t revisionSubType(uint8_t component) {
    const uint8_t serial = serialSubType(component);
    return serial == 0 ? 0 : static_cast<uint8_t>(serial + 1);
}

bool isConfigBlock(uint16_t type) {
    return type == kConfigBlockA || type == kConfigBlockB;
}

}  // namespace

deviceCommands::deviceCommands(logger& log, channelSource channel, DeviceStatus& status,
                               std::recursive_mutex& statusMutex)
    : log_(log), channel_(std::move(channel)), status_(status), statusMutex_(statusMutex) {}

uint8_t deviceCommands::exchange(uint8_t commandId, const uint8_t* request, uint8_t requestLength,
                                 uint8_t* reply, std::size_t replyLength) {
    const std::shared_ptr<fx3Hid> hid = channel_();
    if (hid == nullptr) {
        return 1;
    }
    return hid->command(commandId, request, requestLength, reply, replyLength);
}

uint8_t deviceCommands::identityRequest(uint8_t commandId, uint8_t component, uint8_t* reply,
                                        std::size_t replyLength) {
    std::array<uint8_t, kVersionRequest> request{};
    request[0] = component;
    const uint8_t length = commandId == kCmdGetVersion ? kVersionRequest : kIdentityRequest;
    return exchange(commandId, request.data(), length, reply, replyLength);
}

uint8_t deviceCommands::getVersion(uint8_t component, VersionInfo& version, BuildInfo& build) {
    return readVersion("camera::getVersion", component, version, build);
}

uint8_t deviceCommands::getBuild(uint8_t component, BuildInfo& build) {
    VersionInfo unused{};
    return readVersion("camera::getBuild", component, unused, build);
}

uint8_t deviceCommands::readVersion(const char* operation, uint8_t component, VersionInfo& version,
                                    BuildInfo& build) {
    version = VersionInfo{};
    build = BuildInfo{};
    std::array<uint8_t, kVersionReply> reply{};
    const uint8_t result = identityRequest(kCmdGetVersion, component, reply.data(), reply.size());
    if (result != 0) {
        log_.error("%s, component: %d", operation, component);
        return result;
    }
    if (reply[0] == component) {
        version.major = reply[1];
        version.minor = reply[2];
        version.patch = bigEndian16(&reply[3]);
        std::copy_n(&reply[5], 3, build.part);
        build.number = bigEndian16(&reply[8]);
    }
    return 0;
}

uint8_t deviceCommands::getSerialNumber(uint8_t component, SerialInfo& serial) {
    serial = SerialInfo{};
    std::array<uint8_t, kIdentityRequest> reply{};
    const uint8_t result = identityRequest(kCmdGetSerial, component, reply.data(), reply.size());
    if (result != 0) {
        log_.error("camera::getSerialNumber, component: %d", component);
        return result;
    }
    if (reply[0] != component) {
        log_.error("camera::getSerialNumber: received component does not match");
        return 1;
    }
    serial.part[0] = reply[1];
    serial.part[1] = reply[2];
    serial.number = bigEndian16(&reply[3]);
    return 0;
}

uint8_t deviceCommands::getHardwareRev(uint8_t component, uint32_t& revision) {
    revision = 0;
    std::array<uint8_t, kIdentityRequest> reply{};
    const uint8_t result = identityRequest(kCmdGetHwRev, component, reply.data(), reply.size());
    if (result != 0) {
        log_.error("camera::getHardwareRev, component: %d", component);
        return result;
    }
    if (reply[0] != component) {
        log_.error("camera::getHardwareRev: received component does not match");
        return 1;
    }
    revision = bigEndian32(&reply[1]);
    return 0;
}

uint8_t deviceCommands::setSerialNumber(uint8_t component, const uint8_t* serial) {
    std::array<uint8_t, 6> request{};
    request[0] = serialSubType(component);
    std::copy_n(serial, 5, &request[1]);
    return exchange(kCmdConfigSet, request.data(), request.size(), nullptr, 0);
}

uint8_t deviceCommands::setHardwareRev(uint8_t component, uint32_t revision) {
    const uint8_t request[] = {revisionSubType(component), static_cast<uint8_t>(revision >> 24),
                               static_cast<uint8_t>(revision >> 16),
                               static_cast<uint8_t>(revision >> 8), static_cast<uint8_t>(revision)};
    return exchange(kCmdConfigSet, request, sizeof request, nullptr, 0);
}

deviceCommands::ctrlResult deviceCommands::control(const uint8_t* request, uint8_t requestLength,
                                                   uint8_t* reply, std::size_t replyLength) {
    if (exchange(kCmdCtrl, request, requestLength, reply, replyLength) != 0) {
        return ctrlResult::transportFailed;
    }
    return reply[0] == request[0] ? ctrlResult::ok : ctrlResult::wrongEcho;
}

uint8_t deviceCommands::getUsbSpeed() {
    const uint8_t request[] = {kCtrlUsbSpeed, 0};
    uint8_t reply[2] = {};
    switch (control(request, sizeof request, reply, sizeof reply)) {
        case ctrlResult::transportFailed:
            log_.error("camera::getUsbSpeed: HID communication\n");
            return 1;
        case ctrlResult::wrongEcho:
            log_.error("camera::getUsbSpeed, receive\n");
            return 1;
        case ctrlResult::ok:
            break;
    }
    updateStatus([&](DeviceStatus& status) { status.usbSpeed = reply[1] & 3u; });
    return 0;
}

uint8_t deviceCommands::getHeadInfo(uint8_t* info) {
    std::array<uint8_t, kHeadInfoSize> request{};
    request[0] = kCtrlHeadInfo;
    std::array<uint8_t, kHeadInfoSize + 1> reply{};
    switch (control(request.data(), request.size(), reply.data(), reply.size())) {
        case ctrlResult::transportFailed:
            log_.error("camera::getHeadInfo: HID communication\n");
            return 1;
        case ctrlResult::wrongEcho:
            log_.error("camera::getHeadInfo, receive\n");
            return 1;
        case ctrlResult::ok:
            break;
    }
    std::copy_n(&reply[1], kHeadInfoSize, info);
    return 0;
}

uint8_t deviceCommands::getOutputSize() {
    const uint8_t request[5] = {kCtrlOutputSize};
    uint8_t reply[5] = {};
    switch (control(request, sizeof request, reply, sizeof reply)) {
        case ctrlResult::transportFailed:
            log_.error("camera::getOutputSize\n");
            return 0;
        case ctrlResult::wrongEcho:
            log_.error("camera::getOutputSize, receive\n");
            return 0;
        case ctrlResult::ok:
            break;
    }
    outputWidth_ = bigEndian16(&reply[1]);
    outputHeight_ = bigEndian16(&reply[3]);
    log_.debug("camera::getOutputSize: %d x %d", outputWidth_.load(), outputHeight_.load());
    return 0;
}

uint8_t deviceCommands::echoedControl(const uint8_t* request, uint8_t requestLength,
                                      const char* wrongEchoText) {
    uint8_t echo = 0;
    const ctrlResult result = control(request, requestLength, &echo, 1);
    if (result == ctrlResult::wrongEcho) {
        log_.error("%s", wrongEchoText);
    }
    return result == ctrlResult::transportFailed ? 1 : 0;
}

uint8_t deviceCommands::setSwitch(uint8_t subCommand, bool on, const char* wrongEchoText) {
    const uint8_t request[] = {subCommand, static_cast<uint8_t>(on ? 1 : 0)};
    return echoedControl(request, sizeof request, wrongEchoText);
}

uint8_t deviceCommands::rebootCamera() {
    const uint8_t request = kCtrlReboot;
    return echoedControl(&request, 1, "rebootCamera: received type does not match");
}

uint8_t deviceCommands::setHeadPower(bool on) {
    return setSwitch(kCtrlHeadPower, on, "setHeadPower: received type does not match");
}

uint8_t deviceCommands::setFx3IntrHandling(bool on) {
    return setSwitch(kCtrlFx3Intr, on, "setFx3IntrHandling: received type does not match");
}

uint8_t deviceCommands::enableHeadInt(bool on) {
    return setSwitch(kCtrlHeadInt, on, "enableHeadInt: received type does not match");
}

uint8_t deviceCommands::getHeadKeys() {
    const uint8_t request[] = {kCtrlHeadKeys, 0, 0};
    uint8_t reply[3] = {};
    uint8_t result = 1;
    switch (control(request, sizeof request, reply, sizeof reply)) {
        case ctrlResult::transportFailed:
            log_.error("camera::getHeadKeys: HID communication\n");
            break;
        case ctrlResult::wrongEcho:
            log_.error("camera::getHeadKeys, receive\n");
            break;
        case ctrlResult::ok:
            result = 0;
            break;
    }
    uint8_t keys[2] = {};
    updateStatus([&](DeviceStatus& status) {
        if (result == 0) {
            std::copy_n(&reply[1], 2, status.headKeys);
        }
        std::copy_n(status.headKeys, 2, keys);
    });
    log_.info("Head Keys:   %X - %X", keys[0], keys[1]);
    return result;
}

bool deviceCommands::movesConfigData(uint16_t par1, uint16_t par2) {
    return (par1 == kConfigSet || par1 == kConfigGet) && isConfigBlock(par2);
}

uint8_t deviceCommands::fx3Config(uint16_t par1, uint16_t par2, uint8_t* data, uint16_t length) {
    if (par1 == kConfigReboot && par2 == 0) {
        return rebootCamera();
    }
    if (par1 == kConfigSet && isConfigBlock(par2)) {
        return setConfigBlock(static_cast<uint8_t>(par2), data, length);
    }
    if (par1 == kConfigGet && isConfigBlock(par2)) {
        return getConfigBlock(static_cast<uint8_t>(par2), data, length);
    }
    log_.warn("camera::fx3Config, not implemented: par1: 0x%04X, par2: 0x%04X", par1, par2);
    return 1;
}

// The reply's echo is only logged: the transport's result stands.
uint8_t deviceCommands::setConfigBlock(uint8_t type, const uint8_t* data, uint16_t length) {
    std::array<uint8_t, kConfigBlockSize + 1> request{};
    request[0] = type;
    std::copy_n(data, std::min<std::size_t>(length, kConfigBlockSize), &request[1]);
    uint8_t echo = 0;
    const uint8_t result = exchange(kCmdConfigSet, request.data(), request.size(), &echo, 1);
    if (result == 0 && echo != type) {
        log_.error("fx3Config: received type does not match %x != %x", type, echo);
    }
    return result;
}

uint8_t deviceCommands::getConfigBlock(uint8_t type, uint8_t* data, uint16_t length) {
    std::array<uint8_t, kConfigBlockSize + 1> request{};
    request[0] = type;
    std::array<uint8_t, kConfigBlockSize + 1> reply{};
    const uint8_t result =
        exchange(kCmdConfigGet, request.data(), request.size(), reply.data(), reply.size());
    if (result != 0) {
        return result;
    }
    if (reply[0] != type) {
        log_.error("fx3Config: received type does not match %x != %x", type, reply[0]);
        return 1;
    }
    std::copy_n(&reply[1], std::min<std::size_t>(length, kConfigBlockSize), data);
    return 0;
}

// The I2C header must fit one command report together with its register address.
bool deviceCommands::registerTooLong(const char* operation, uint8_t registerLength) {
    if (kI2cHeaderSize + registerLength <= fx3Hid::kMaxRequestPayload) {
        return false;
    }
    log_.error("%s: register address of %d bytes is too long\n", operation, registerLength);
    return true;
}

namespace {

// The I2C header and register address at the start of `buffer`; its length.
std::size_t i2cHeader(uint8_t* buffer, uint8_t address, const uint8_t* reg, uint8_t registerLength,
                      uint16_t length) {
    buffer[0] = address;
    buffer[1] = registerLength;
    buffer[2] = static_cast<uint8_t>(length >> 8);
    buffer[3] = static_cast<uint8_t>(length);
    std::copy_n(reg, registerLength, buffer + deviceCommands::kI2cHeaderSize);
    return deviceCommands::kI2cHeaderSize + registerLength;
}

}  // namespace

uint8_t deviceCommands::i2cRead(uint8_t address, const uint8_t* reg, uint8_t registerLength,
                                uint8_t* out, uint16_t length) {
    if (registerTooLong("camera::i2cRead", registerLength)) {
        return 1;
    }
    std::array<uint8_t, fx3Hid::kFeatureSize> buffer{};
    const std::size_t header = i2cHeader(buffer.data(), address, reg, registerLength, length);
    const std::size_t total = std::max<std::size_t>(length, header);
    if (total + registerLength < 58) {
        if (exchange(kCmdI2cRead, buffer.data(), static_cast<uint8_t>(total), out, length) != 0) {
            log_.error("camera::i2cRead: HID communication\n");
            return 1;
        }
        return 0;
    }
    if (length >= fx3Hid::kFeatureSize) {
        log_.error("camera::i2cRead: max length is %d while current length is %d\n",
                   kI2cFeatureLimit, length);
        return 1;
    }
    const std::shared_ptr<fx3Hid> hid = channel_();
    if (hid == nullptr || hid->transferFeat(fx3Hid::kRead, kCmdI2cRead, buffer.data(),
                                            static_cast<uint8_t>(header), length) != 0) {
        log_.error("camera::i2cRead: HID feat. communication\n");
        return 1;
    }
    std::copy_n(buffer.data(), length, out);
    return 0;
}

uint8_t deviceCommands::i2cWrite(uint8_t address, const uint8_t* reg, uint8_t registerLength,
                                 const uint8_t* data, uint16_t length) {
    if (registerTooLong("camera::i2cWrite", registerLength)) {
        return 1;
    }
    std::array<uint8_t, fx3Hid::kFeatureSize> buffer{};
    const std::size_t header = i2cHeader(buffer.data(), address, reg, registerLength, length);
    if (length + registerLength < 58) {
        std::copy_n(data, length, buffer.data() + header);
        if (exchange(kCmdI2cWrite, buffer.data(), fx3Hid::kMaxRequestPayload, nullptr, 0) != 0) {
            log_.error("camera::i2cWrite: HID communication\n");
            return 1;
        }
        return 0;
    }
    const int limit = kI2cFeatureLimit - registerLength;
    if (length >= limit) {
        log_.error("camera::i2cWrite: max length is %d while current length is %d\n", limit,
                   length);
        return 1;
    }
    std::copy_n(data, length, buffer.data() + header);
    const std::shared_ptr<fx3Hid> hid = channel_();
    if (hid == nullptr || hid->transferFeat(fx3Hid::kWrite, kCmdI2cWrite, buffer.data(),
                                            static_cast<uint8_t>(header), length) != 0) {
        log_.error("camera::i2cWrite: HID feat. communication\n");
        return 1;
    }
    return 0;
}

uint8_t deviceCommands::setAppState(uint8_t state) {
    if (exchange(kCmdAppState, &state, 1, nullptr, 0) != 0) {
        log_.error("camera::setAppState: HID communication\n");
        return 1;
    }
    return 0;
}

}  // namespace dravix
