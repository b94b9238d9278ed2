#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <utility>

#include "emu/emulatedCommand.h"

namespace dravix::emu {

// What the camera says about itself and the controls around its head: per component (0..11) a
// firmware version and build, a serial number and a hardware revision; the USB speed, the head
// information, the output size and the head keys; the head power and interrupt switches (all on
// after power-up), the reboot count and two 32-byte configuration blocks. Each component starts
// with its own values so that a reply for the wrong component shows.
//
// Requests naming a component, sub-command or value the camera does not know are refused with
// status BAD ARGUMENT and change nothing. Thread-safe; the control methods are for tests and
// throw std::invalid_argument for a component or block that does not exist.
class emulatedIdentity {
  public:
    static constexpr int kComponents = 12;
    static constexpr std::size_t kHeadInfoSize = 18;
    static constexpr std::size_t kSerialSize = 5;
    static constexpr std::size_t kConfigBlockSize = 32;
    static constexpr uint8_t kConfigBlockA = 0x81;
    static constexpr uint8_t kConfigBlockB = 0x82;

    struct versionInfo {
        uint8_t major = 0;
        uint8_t minor = 0;
        uint16_t patch = 0;
    };
    struct buildInfo {
        uint8_t b0 = 0;
        uint8_t b1 = 0;
        uint8_t b2 = 0;
        uint16_t number = 0;
    };
    // `raw` holds the bytes as last set; s0, s1 and number are its first four.
    struct serialInfo {
        uint8_t s0 = 0;
        uint8_t s1 = 0;
        uint16_t number = 0;
        std::array<uint8_t, kSerialSize> raw{};
    };
    using headInfoBytes = std::array<uint8_t, kHeadInfoSize>;
    using configBytes = std::array<uint8_t, kConfigBlockSize>;

    emulatedIdentity();

    // Command handlers. The gets take the component and answer its echo and value; control,
    // config set and config get take a sub-command and answer its echo first.
    commandReply getVersion(const commandPayload& payload) const;
    commandReply getSerial(const commandPayload& payload) const;
    commandReply getHardwareRev(const commandPayload& payload) const;
    commandReply control(const commandPayload& payload);
    commandReply configSet(const commandPayload& payload);
    commandReply configGet(const commandPayload& payload) const;

    void setVersion(int component, uint8_t major, uint8_t minor, uint16_t patch, uint8_t b0,
                    uint8_t b1, uint8_t b2, uint16_t buildNumber);
    versionInfo version(int component) const;
    buildInfo build(int component) const;
    void setSerial(int component, const std::array<uint8_t, kSerialSize>& raw);
    serialInfo serial(int component) const;
    void setHardwareRev(int component, uint32_t revision);
    uint32_t hardwareRev(int component) const;

    // 0 to 3; std::invalid_argument otherwise.
    void setUsbSpeed(uint8_t speed);
    uint8_t usbSpeed() const;
    void setHeadInfo(const headInfoBytes& info);
    headInfoBytes headInfo() const;
    void setOutputSize(uint16_t width, uint16_t height);
    std::pair<uint16_t, uint16_t> outputSize() const;
    void setHeadKeys(uint8_t key0, uint8_t key1);
    std::pair<uint8_t, uint8_t> headKeys() const;
    // `block` is kConfigBlockA or kConfigBlockB.
    void setConfigBlock(uint8_t block, const configBytes& bytes);
    configBytes configBlock(uint8_t block) const;

    bool headPower() const;
    bool controllerInterrupts() const;
    bool headInterrupts() const;
    int reboots() const;

  private:
    struct componentState {
        versionInfo version;
        buildInfo build;
        serialInfo serial;
        uint32_t hardwareRev = 0;
    };

    static commandReply refused();
    static commandReply echo(uint8_t subType);
    // The component a get request names, or -1 for one that does not exist.
    static int componentOf(const commandPayload& payload);
    static void checkComponent(int component);
    static void storeSerial(componentState& target, const uint8_t* raw);

    // Control sub-commands; mutex_ held.
    commandReply reportControl(uint8_t subCommand) const;
    commandReply switchControl(uint8_t subCommand, uint8_t value);

    // Config set of a serial number or hardware revision; mutex_ held.
    commandReply setComponentValue(const commandPayload& payload);
    // The block `id` names, or null for another id; mutex_ held.
    configBytes* blockOf(uint8_t id);
    const configBytes* blockOf(uint8_t id) const;

    mutable std::mutex mutex_;
    std::array<componentState, kComponents> components_;
    uint8_t usbSpeed_ = 3;
    headInfoBytes headInfo_{};
    uint16_t width_ = 1920;
    uint16_t height_ = 1080;
    std::pair<uint8_t, uint8_t> keys_{0, 0};
    configBytes blockA_{};
    configBytes blockB_{};
    bool headPower_ = true;
    bool controllerInterrupts_ = true;
    bool headInterrupts_ = true;
    int reboots_ = 0;
};

}  // namespace dravix::emu
