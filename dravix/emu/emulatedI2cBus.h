#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "emu/emulatedI2cDevice.h"

namespace dravix::emu {

// The I2C bus behind the camera's I2C commands. Every device address has 64 KiB of
// register-addressed byte storage (created on first use), unless a device model is attached
// at that address and claims the register. Thread-safe.
class emulatedI2cBus {
  public:
    static constexpr std::size_t kStorageSize = 64 * 1024;

    // From now on `device` answers every access to `address`; null detaches it again.
    void attach(uint8_t address, std::shared_ptr<emulatedI2cDevice> device);

    // Transfers `length` bytes from or to registers reg..reg+length-1 of `address`. False when
    // the range lies outside the device (nothing is transferred then).
    bool read(uint8_t address, uint32_t reg, uint8_t* data, std::size_t length);
    bool write(uint8_t address, uint32_t reg, const uint8_t* data, std::size_t length);

    // Direct access to the plain storage, for tests; throws std::out_of_range outside it.
    void preset(uint8_t address, uint32_t reg, const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> contents(uint8_t address, uint32_t reg, std::size_t length);

  private:
    static bool fits(uint32_t reg, std::size_t length);
    std::shared_ptr<emulatedI2cDevice> modelAt(uint8_t address);
    // The storage of `address`, created zeroed on first use; called with mutex_ held.
    std::vector<uint8_t>& storageOf(uint8_t address);
    bool copyOut(uint8_t address, uint32_t reg, uint8_t* data, std::size_t length);
    bool copyIn(uint8_t address, uint32_t reg, const uint8_t* data, std::size_t length);

    std::mutex mutex_;
    std::map<uint8_t, std::vector<uint8_t>> storage_;
    std::map<uint8_t, std::shared_ptr<emulatedI2cDevice>> models_;
};

}  // namespace dravix::emu
