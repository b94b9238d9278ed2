#include "emu/emulatedIdentity.h"

#include <algorithm>
#include <stdexcept>

namespace dravix::emu {

namespace {

// Control sub-commands.
constexpr uint8_t kUsbSpeed = 0x01;
constexpr uint8_t kHeadInfo = 0x02;
constexpr uint8_t kOutputSize = 0x10;
constexpr uint8_t kHeadKeys = 0x20;
constexpr uint8_t kHeadPower = 0x80;
constexpr uint8_t kControllerInterrupts = 0x81;
constexpr uint8_t kReboot = 0x82;
constexpr uint8_t kHeadInterrupts = 0x83;

constexpr uint8_t kMaxUsbSpeed = 3;

// Config set sub-types 0x01 to 0x0C come in pairs, serial number then hardware revision, one
// pair per component in this order.
constexpr std::array<int, 6> kConfigComponents{0, 3, 8, 5, 6, 7};
constexpr uint8_t kLastComponentSubType = 0x0C;

void putU16(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value >> 8);
    out[1] = static_cast<uint8_t>(value);
}

void putU32(uint8_t* out, uint32_t value) {
    putU16(out, static_cast<uint16_t>(value >> 16));
    putU16(out + 2, static_cast<uint16_t>(value));
}

uint16_t getU16(const uint8_t* in) {
    return static_cast<uint16_t>(in[0] << 8 | in[1]);
}

uint32_t getU32(const uint8_t* in) {
    return static_cast<uint32_t>(getU16(in)) << 16 | getU16(in + 2);
}

}  // namespace

emulatedIdentity::emulatedIdentity() {
    for (int i = 0; i < kComponents; ++i) {
        const auto n = static_cast<uint8_t>(i);
        componentState& state = components_[i];
        state.version = {1, n, static_cast<uint16_t>(10 + i)};
        state.build = {3, n, 7, static_cast<uint16_t>(100 + i)};
        const uint16_t serialNumber = static_cast<uint16_t>(1000 + i);
        const std::array<uint8_t, kSerialSize> raw{0x53, n, static_cast<uint8_t>(serialNumber >> 8),
                                                   static_cast<uint8_t>(serialNumber), 0};
        storeSerial(state, raw.data());
        state.hardwareRev = 0x0200 + static_cast<uint32_t>(i);
    }
    for (std::size_t i = 0; i < kHeadInfoSize; ++i) {
        headInfo_[i] = static_cast<uint8_t>(i + 1);
    }
}

commandReply emulatedIdentity::getVersion(const commandPayload& payload) const {
    const int index = componentOf(payload);
    if (index < 0) {
        return refused();
    }
    commandReply reply = echo(payload[0]);
    uint8_t* out = reply.payload.data() + 1;
    std::lock_guard<std::mutex> lock(mutex_);
    const componentState& state = components_[index];
    out[0] = state.version.major;
    out[1] = state.version.minor;
    putU16(out + 2, state.version.patch);
    out[4] = state.build.b0;
    out[5] = state.build.b1;
    out[6] = state.build.b2;
    putU16(out + 7, state.build.number);
    return reply;
}

commandReply emulatedIdentity::getSerial(const commandPayload& payload) const {
    const int index = componentOf(payload);
    if (index < 0) {
        return refused();
    }
    commandReply reply = echo(payload[0]);
    std::lock_guard<std::mutex> lock(mutex_);
    const serialInfo& serial = components_[index].serial;
    reply.payload[1] = serial.s0;
    reply.payload[2] = serial.s1;
    putU16(reply.payload.data() + 3, serial.number);
    return reply;
}

commandReply emulatedIdentity::getHardwareRev(const commandPayload& payload) const {
    const int index = componentOf(payload);
    if (index < 0) {
        return refused();
    }
    commandReply reply = echo(payload[0]);
    std::lock_guard<std::mutex> lock(mutex_);
    putU32(reply.payload.data() + 1, components_[index].hardwareRev);
    return reply;
}

commandReply emulatedIdentity::control(const commandPayload& payload) {
    const uint8_t subCommand = payload[0];
    std::lock_guard<std::mutex> lock(mutex_);
    if (subCommand >= kHeadPower) {
        return switchControl(subCommand, payload[1]);
    }
    return reportControl(subCommand);
}

commandReply emulatedIdentity::configSet(const commandPayload& payload) {
    const uint8_t subType = payload[0];
    std::lock_guard<std::mutex> lock(mutex_);
    if (subType >= 1 && subType <= kLastComponentSubType) {
        return setComponentValue(payload);
    }
    configBytes* block = blockOf(subType);
    if (block == nullptr) {
        return refused();
    }
    std::copy_n(payload.begin() + 1, kConfigBlockSize, block->begin());
    return echo(subType);
}

commandReply emulatedIdentity::configGet(const commandPayload& payload) const {
    const uint8_t subType = payload[0];
    std::lock_guard<std::mutex> lock(mutex_);
    const configBytes* block = blockOf(subType);
    if (block == nullptr) {
        return refused();
    }
    commandReply reply = echo(subType);
    std::copy(block->begin(), block->end(), reply.payload.begin() + 1);
    return reply;
}

void emulatedIdentity::setVersion(int component, uint8_t major, uint8_t minor, uint16_t patch,
                                  uint8_t b0, uint8_t b1, uint8_t b2, uint16_t buildNumber) {
    checkComponent(component);
    std::lock_guard<std::mutex> lock(mutex_);
    components_[component].version = {major, minor, patch};
    components_[component].build = {b0, b1, b2, buildNumber};
}

emulatedIdentity::versionInfo emulatedIdentity::version(int component) const {
    checkComponent(component);
    std::lock_guard<std::mutex> lock(mutex_);
    return components_[component].version;
}

emulatedIdentity::buildInfo emulatedIdentity::build(int component) const {
    checkComponent(component);
    std::lock_guard<std::mutex> lock(mutex_);
    return components_[component].build;
}

void emulatedIdentity::setSerial(int component, const std::array<uint8_t, kSerialSize>& raw) {
    checkComponent(component);
    std::lock_guard<std::mutex> lock(mutex_);
    storeSerial(components_[component], raw.data());
}

emulatedIdentity::serialInfo emulatedIdentity::serial(int component) const {
    checkComponent(component);
    std::lock_guard<std::mutex> lock(mutex_);
    return components_[component].serial;
}

void emulatedIdentity::setHardwareRev(int component, uint32_t revision) {
    checkComponent(component);
    std::lock_guard<std::mutex> lock(mutex_);
    components_[component].hardwareRev = revision;
}

uint32_t emulatedIdentity::hardwareRev(int component) const {
    checkComponent(component);
    std::lock_guard<std::mutex> lock(mutex_);
    return components_[component].hardwareRev;
}

void emulatedIdentity::setUsbSpeed(uint8_t speed) {
    if (speed > kMaxUsbSpeed) {
        throw std::invalid_argument("emulatedIdentity::setUsbSpeed: speed out of range");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    usbSpeed_ = speed;
}

uint8_t emulatedIdentity::usbSpeed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return usbSpeed_;
}

void emulatedIdentity::setHeadInfo(const headInfoBytes& info) {
    std::lock_guard<std::mutex> lock(mutex_);
    headInfo_ = info;
}

emulatedIdentity::headInfoBytes emulatedIdentity::headInfo() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return headInfo_;
}

void emulatedIdentity::setOutputSize(uint16_t width, uint16_t height) {
    std::lock_guard<std::mutex> lock(mutex_);
    width_ = width;
    height_ = height;
}

std::pair<uint16_t, uint16_t> emulatedIdentity::outputSize() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {width_, height_};
}

void emulatedIdentity::setHeadKeys(uint8_t key0, uint8_t key1) {
    std::lock_guard<std::mutex> lock(mutex_);
    keys_ = {key0, key1};
}

std::pair<uint8_t, uint8_t> emulatedIdentity::headKeys() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return keys_;
}

void emulatedIdentity::setConfigBlock(uint8_t block, const configBytes& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    configBytes* target = blockOf(block);
    if (target == nullptr) {
        throw std::invalid_argument("emulatedIdentity::setConfigBlock: unknown block");
    }
    *target = bytes;
}

emulatedIdentity::configBytes emulatedIdentity::configBlock(uint8_t block) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const configBytes* source = blockOf(block);
    if (source == nullptr) {
        throw std::invalid_argument("emulatedIdentity::configBlock: unknown block");
    }
    return *source;
}

bool emulatedIdentity::headPower() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return headPower_;
}

bool emulatedIdentity::controllerInterrupts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return controllerInterrupts_;
}

bool emulatedIdentity::headInterrupts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return headInterrupts_;
}

int emulatedIdentity::reboots() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return reboots_;
}

commandReply emulatedIdentity::refused() {
    commandReply reply;
    reply.status = replyStatus::badArgument;
    return reply;
}

commandReply emulatedIdentity::echo(uint8_t subType) {
    commandReply reply;
    reply.payload[0] = subType;
    return reply;
}

int emulatedIdentity::componentOf(const commandPayload& payload) {
    return payload[0] < kComponents ? payload[0] : -1;
}

void emulatedIdentity::checkComponent(int component) {
    if (component < 0 || component >= kComponents) {
        throw std::invalid_argument("emulatedIdentity: no such component");
    }
}

void emulatedIdentity::storeSerial(componentState& target, const uint8_t* raw) {
    serialInfo& serial = target.serial;
    std::copy_n(raw, kSerialSize, serial.raw.begin());
    serial.s0 = raw[0];
    serial.s1 = raw[1];
    serial.number = getU16(raw + 2);
}

commandReply emulatedIdentity::reportControl(uint8_t subCommand) const {
    commandReply reply = echo(subCommand);
    uint8_t* out = reply.payload.data() + 1;
    switch (subCommand) {
        case kUsbSpeed:
            out[0] = usbSpeed_;
            break;
        case kHeadInfo:
            std::copy(headInfo_.begin(), headInfo_.end(), out);
            break;
        case kOutputSize:
            putU16(out, width_);
            putU16(out + 2, height_);
            break;
        case kHeadKeys:
            out[0] = keys_.first;
            out[1] = keys_.second;
            break;
        default:
            return refused();
    }
    return reply;
}

commandReply emulatedIdentity::switchControl(uint8_t subCommand, uint8_t value) {
    bool* target = nullptr;
    switch (subCommand) {
        case kHeadPower:
            target = &headPower_;
            break;
        case kControllerInterrupts:
            target = &controllerInterrupts_;
            break;
        case kHeadInterrupts:
            target = &headInterrupts_;
            break;
        case kReboot:
            ++reboots_;
            return echo(subCommand);
        default:
            return refused();
    }
    // A switch is on or off; any other value is a malformed request, not "on".
    if (value > 1) {
        return refused();
    }
    *target = value == 1;
    return echo(subCommand);
}

commandReply emulatedIdentity::setComponentValue(const commandPayload& payload) {
    const uint8_t subType = payload[0];
    componentState& target = components_[kConfigComponents[(subType - 1) / 2]];
    const uint8_t* data = payload.data() + 1;
    if (subType % 2 == 1) {
        storeSerial(target, data);
    } else {
        target.hardwareRev = getU32(data);
    }
    return echo(subType);
}

emulatedIdentity::configBytes* emulatedIdentity::blockOf(uint8_t id) {
    return const_cast<configBytes*>(std::as_const(*this).blockOf(id));
}

const emulatedIdentity::configBytes* emulatedIdentity::blockOf(uint8_t id) const {
    if (id == kConfigBlockA) {
        return &blockA_;
    }
    return id == kConfigBlockB ? &blockB_ : nullptr;
}

}  // namespace dravix::emu
