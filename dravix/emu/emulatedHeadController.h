#pragma once

#include <memory>

#include "emu/emulatedFlashLoader.h"
#include "emu/emulatedI2cDevice.h"
#include "emu/emulatedJtagPort.h"

namespace dravix::emu {

// The head controller at I2C address 0x78: its flash loader and the head FPGA's JTAG port, each
// answering its own registers.
class emulatedHeadController : public emulatedI2cDevice {
  public:
    emulatedHeadController(std::shared_ptr<emulatedFlashLoader> loader,
                           std::shared_ptr<emulatedJtagPort> jtag);

    bool claims(uint32_t reg) const override;
    bool read(uint32_t reg, uint8_t* data, std::size_t length) override;
    bool write(uint32_t reg, const uint8_t* data, std::size_t length) override;

  private:
    emulatedI2cDevice& partFor(uint32_t reg) const;

    const std::shared_ptr<emulatedFlashLoader> loader_;
    const std::shared_ptr<emulatedJtagPort> jtag_;
};

}  // namespace dravix::emu
