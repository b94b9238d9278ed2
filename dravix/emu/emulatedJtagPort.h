#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "emu/emulatedFaultPlan.h"
#include "emu/emulatedI2cDevice.h"

namespace dravix::emu {

// The head FPGA's JTAG port on the head controller: writing 0x01 to the control register 0x90
// arms it and starts a new stream, writes to the data register 0x91 append to the stream (and
// are refused while it is not armed), and reading 0x90 gives the status: bit 4 (TDO) or bit 3
// (BUF) once as many bytes came as set for the fault. A head power cycle after a stream loads it
// into the FPGA. Thread-safe.
class emulatedJtagPort : public emulatedI2cDevice {
  public:
    static constexpr uint8_t kControlRegister = 0x90;
    static constexpr uint8_t kDataRegister = 0x91;
    static constexpr uint8_t kTdoBit = 0x10;
    static constexpr uint8_t kBufBit = 0x08;

    explicit emulatedJtagPort(std::function<void()> unplug);

    bool claims(uint32_t reg) const override;
    bool read(uint32_t reg, uint8_t* data, std::size_t length) override;
    bool write(uint32_t reg, const uint8_t* data, std::size_t length) override;

    // The status reads `bits` once `afterBytes` bytes of the stream came.
    void setStatusFault(uint8_t bits, std::size_t afterBytes);
    // Keyed by register.
    emulatedFaultPlan& faults() { return faults_; }
    // The head was powered on again: a stream that came since arming is loaded.
    void onHeadPowerOn();

    std::vector<uint8_t> stream() const;
    std::vector<std::size_t> chunkSizes() const;
    // The stream the last power cycle loaded; empty before any.
    std::vector<uint8_t> loaded() const;
    int statusReads() const;

  private:
    bool faulted(uint8_t reg);

    const std::function<void()> unplug_;
    emulatedFaultPlan faults_;

    mutable std::mutex mutex_;
    bool armed_ = false;
    std::vector<uint8_t> stream_;
    std::vector<std::size_t> chunks_;
    std::vector<uint8_t> loaded_;
    uint8_t faultBits_ = 0;
    std::size_t faultAfter_ = 0;
    int statusReads_ = 0;
};

}  // namespace dravix::emu
