#pragma once

#include <cstddef>
#include <cstdint>

namespace dravix::emu {

// A device model on the emulated I2C bus that answers in place of plain register storage
// (for devices whose registers behave, rather than just hold bytes).
class emulatedI2cDevice {
  public:
    virtual ~emulatedI2cDevice() = default;

    // Whether the model answers accesses to `reg`; the others reach the address's plain
    // storage, as on a device whose other registers just hold bytes.
    virtual bool claims(uint32_t /*reg*/) const { return true; }

    // Both return false when the device refuses the access (no such register, out of range).
    virtual bool read(uint32_t reg, uint8_t* data, std::size_t length) = 0;
    virtual bool write(uint32_t reg, const uint8_t* data, std::size_t length) = 0;
};

}  // namespace dravix::emu
