#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "emu/emulatedCommand.h"
#include "emu/emulatedFaultPlan.h"
#include "emu/emulatedFeaturePort.h"

namespace dravix::emu {

// The camera's side of the block protocol that updates the USB controller (component 0), the
// control-unit FPGA (1) and its on-screen-display graphics (10). START (0xC0: component, size
// big-endian) opens an update; each BLOCK (0xC1: block number, low byte first) opens a feature
// write of id 2 whose first min(768, rest) bytes land at number × 768; END (0xC2) checks that
// every block came and only then commits the image to the component's flash. After a commit
// the camera may restart (setRestartAfterEnd): it leaves the bus and comes back, as the real
// controller does when it boots its new image.
//
// Reply statuses: 2 for an unknown component or an empty size, 9 for BLOCK or END without a
// START and for END with blocks missing, 14 for a block number beyond the size; a planned fault
// answers 1. Thread-safe.
class emulatedBlockFlash {
  public:
    static constexpr uint8_t kCmdStart = 0xC0;
    static constexpr uint8_t kCmdBlock = 0xC1;
    static constexpr uint8_t kCmdEnd = 0xC2;
    static constexpr uint8_t kBlockReportId = 2;
    static constexpr std::size_t kBlockSize = 768;
    static constexpr uint8_t kStatusFailed = 1;
    static constexpr uint8_t kStatusIncomplete = 9;
    static constexpr uint8_t kStatusOutOfRange = 14;

    enum class restart {
        none,
        // END is answered, then the camera restarts.
        afterReply,
        // The camera restarts before END's reply leaves it: the host never gets one.
        withoutReply,
    };

    // `unplug` unplugs the camera, for planned unplug faults.
    emulatedBlockFlash(emulatedFeaturePort& features, std::function<void()> unplug);

    commandReply start(const commandPayload& payload);
    commandReply block(const commandPayload& payload);
    commandReply end(const commandPayload& payload);

    // The image last committed to `component`; empty before any.
    std::vector<uint8_t> flash(uint8_t component) const;
    // Block numbers of the current (or last) update in the order they came, duplicates too.
    std::vector<uint16_t> blocksReceived() const;
    // The byte END carried.
    uint8_t lastEndByte() const;
    // Keyed by command id.
    emulatedFaultPlan& faults() { return faults_; }
    // What the camera does after an END that committed an image; none by default.
    void setRestartAfterEnd(restart how);

  private:
    struct update {
        bool active = false;
        uint8_t component = 0;
        std::vector<uint8_t> data;
        std::vector<bool> received;
    };

    // A planned fault for `commandId`: the reply to send instead, or nothing.
    bool planned(uint8_t commandId, commandReply& reply);
    void store(uint16_t number, const uint8_t* data, std::size_t length);
    void requestRestart() const;

    emulatedFeaturePort& features_;
    const std::function<void()> unplug_;
    emulatedFaultPlan faults_;

    mutable std::mutex mutex_;
    update update_;
    std::vector<uint16_t> blocks_;
    uint8_t endByte_ = 0;
    restart restart_ = restart::none;
    std::map<uint8_t, std::vector<uint8_t>> flash_;
};

}  // namespace dravix::emu
