#pragma once

#include <cstdint>

#include "device/jtagBinFile.h"
#include "device/jtagSchedule.h"
#include "device/updateSession.h"

namespace dravix {

// The update of the head FPGA: the JTAG stream of a BIN file goes over I2C to the head's JTAG
// data register (0x91) in chunks of at most 128 bytes, with the file's pauses between them and
// a status check of the control register (0x90) after every 4096 bytes and at the end. The
// controller's interrupt handling is off meanwhile and switched on again whatever happens; only
// after a clean stream the head is power-cycled, which loads the new configuration.
//
// Results: 0, or 1 for a refused file (nothing is sent), a failed command or status, or a cancel.
class cFpgaHead {
  public:
    static constexpr uint8_t kAddress = 0x78;
    static constexpr uint8_t kControlRegister = 0x90;
    static constexpr uint8_t kDataRegister = 0x91;
    static constexpr uint8_t kArm = 0x01;
    static constexpr uint8_t kTdoBit = 0x10;
    static constexpr uint8_t kBufBit = 0x08;
    static constexpr std::size_t kStatusInterval = 4096;
    static constexpr uint16_t kLoggedPauseMs = 1000;

    explicit cFpgaHead(updateSession& session);
    uint8_t firmwareThread();

  private:
    bool fileAccepted();
    // The stream from arming the JTAG port to its last status check; the first failure's code.
    uint8_t stream();
    // Takes the pauses due after `sent` bytes; false when cancelled.
    bool pauseAt(jtagSchedule& schedule, std::size_t sent);
    uint8_t sendChunk(std::size_t offset, std::size_t length);
    uint8_t checkStatus();
    // Head power off, interrupt handling on, head power on, with the waits between.
    uint8_t restartHead();

    updateSession& session_;
    jtagBinFile file_;
};

}  // namespace dravix
