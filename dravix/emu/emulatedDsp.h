#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "emu/emulatedCommand.h"

namespace dravix::emu {

// The camera's DSP side: one value block per DSP function, sized by the camera's own function
// list (emulatedDspFunctions.h: the larger of the two sizes), and the commands that read, write and
// store them.
//
// A read answers from the block's first `read size` bytes, a write fills up to `write size`
// bytes; a function the camera only writes refuses reads and the other way round, as do codes
// outside the table and offsets past the block (status BAD ARGUMENT). Thread-safe.
class emulatedDsp {
  public:
    // `onVerticalFlip` receives bit 0 of every flip byte written, outside the store's lock.
    explicit emulatedDsp(std::function<void(bool)> onVerticalFlip);

    // Command handlers. Get: code, offset (big-endian) -> code echo, up to 60 value bytes.
    // Set: code, offset, value bytes -> code echo. Save: status only. Calibration: mode, value.
    commandReply get(const commandPayload& payload);
    commandReply set(const commandPayload& payload);
    commandReply save(const commandPayload& payload);
    commandReply calibration(const commandPayload& payload);

    // The whole block of `code`; std::invalid_argument for a code outside the table.
    std::vector<uint8_t> dspBlock(uint8_t code) const;
    // Replaces the start of the block with `bytes` and zeroes the rest; std::invalid_argument
    // for a code outside the table or more bytes than the block holds.
    void setDspBlock(uint8_t code, const std::vector<uint8_t>& bytes);
    int saveCount() const;
    // Fills every block with bytes drawn from a generator seeded with `seed`.
    void fillRandom(uint32_t seed);
    // Reads and writes of `code` answer `status` (success again with replyStatus::success).
    void setFailingCode(uint8_t code, uint8_t status);
    // Reads and writes of `code` echo `echo` instead of their code (the same code again ends
    // it), as a camera answering for another function does.
    void setEchoForCode(uint8_t code, uint8_t echo);
    // Mode and value of the last calibration command; (0, 0) before the first.
    std::pair<uint8_t, uint8_t> lastCalibration() const;

  private:
    static constexpr std::size_t kHeader = 3;  // code, offset high, offset low
    // The value bytes one reply carries after the code echo, and one request after its header.
    static constexpr int kMostAnswered = static_cast<int>(commandReply{}.payload.size()) - 1;
    static constexpr int kMostAccepted = static_cast<int>(commandPayload{}.size() - kHeader);

    static commandReply refused();
    // The fault set for `code`, if any, applied to `reply`; true when it answers for the code.
    bool applyFault(uint8_t code, commandReply& reply) const;
    // The block of `code` under mutex_, or null for a code outside the table.
    std::vector<uint8_t>* blockOf(uint8_t code);

    const std::function<void(bool)> onVerticalFlip_;
    mutable std::mutex mutex_;
    std::map<uint8_t, std::vector<uint8_t>> blocks_;
    int saves_ = 0;
    std::map<uint8_t, uint8_t> failingCodes_;
    std::map<uint8_t, uint8_t> echoes_;
    std::pair<uint8_t, uint8_t> calibration_{0, 0};
};

}  // namespace dravix::emu
