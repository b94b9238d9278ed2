#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "emu/emulatedFaultPlan.h"
#include "emu/emulatedI2cDevice.h"

namespace dravix::emu {

// A microcontroller on the I2C bus with its flash loader; the register of an access is the
// loader command. The application enters the loader after 'X' and 0x83 (data 0x83); in the
// loader '%' reads '.' while busy and '#' when ready, 'Q' (0x35) queries, 'R' (0x08, 0x7F)
// erases the 32 KiB flash to 0xFF, 'S' writes a block (128 bytes, CRC-8, block number, 0x01)
// after checking its checksum and trailer, 'D' reads 255 bytes (the first 127 bytes of the block
// last written, then zeros, or a non-zero byte while a verify fault is set) and 'T' leaves the
// loader. A command the loader does not expect is refused (a NAK on the bus). Thread-safe.
class emulatedFlashLoader : public emulatedI2cDevice {
  public:
    static constexpr std::size_t kFlashSize = 32 * 1024;
    static constexpr std::size_t kBlockSize = 128;
    static constexpr uint8_t kBusy = '.';
    static constexpr uint8_t kReady = '#';
    // busyPolls() value of a loader that never gets ready.
    static constexpr int kNeverReady = -1;

    // `unplug` unplugs the camera, for planned unplug faults.
    explicit emulatedFlashLoader(std::function<void()> unplug);

    // The loader commands; other registers are plain storage.
    bool claims(uint32_t reg) const override;
    bool read(uint32_t reg, uint8_t* data, std::size_t length) override;
    bool write(uint32_t reg, const uint8_t* data, std::size_t length) override;

    // How many '%' reads after a command still answer busy (0 by default).
    void setBusyPolls(int reads);
    // While set, the read-back holds a non-zero byte past the block.
    void setVerifyFault(bool failing);
    // Keyed by the loader command.
    emulatedFaultPlan& faults() { return faults_; }

    std::array<uint8_t, kFlashSize> flash() const;
    // Block numbers written, in order.
    std::vector<uint8_t> blocksWritten() const;
    // Loader sessions that ended with 'T'.
    int completedSessions() const;
    bool inLoader() const;

  private:
    // A planned fault for `command`: true when the access is to fail.
    bool faulted(uint8_t command);
    bool writeInLoader(uint8_t command, const uint8_t* data, std::size_t length);
    bool storeBlock(const uint8_t* data, std::size_t length);
    uint8_t pollAnswer();

    const std::function<void()> unplug_;
    emulatedFaultPlan faults_;

    mutable std::mutex mutex_;
    bool startSeen_ = false;
    bool inLoader_ = false;
    int busyPolls_ = 0;
    int busyLeft_ = 0;
    bool verifyFault_ = false;
    std::array<uint8_t, kFlashSize> flash_{};
    std::array<uint8_t, kBlockSize> lastBlock_{};
    std::vector<uint8_t> blocks_;
    int sessions_ = 0;
};

}  // namespace dravix::emu
