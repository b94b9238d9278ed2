#pragma once

#include <array>
#include <cstdint>

#include "device/fx3Hid.h"
#include "device/updateSession.h"

namespace dravix {

// The update of the USB controller, the control-unit FPGA and its on-screen-display graphics:
// START with the component and the image size, then per 768-byte block a BLOCK command with
// the block number followed by the block as a feature report, then END.
class blockProtocol {
  public:
    static constexpr uint8_t kCmdStart = 0xC0;
    static constexpr uint8_t kCmdBlock = 0xC1;
    static constexpr uint8_t kCmdEnd = 0xC2;
    static constexpr uint8_t kBlockReportId = 2;
    static constexpr uint32_t kBlockSize = 768;
    static constexpr uint16_t kBlockReportData = 1022;
    static constexpr uint32_t kCommandTimeoutMs = 2000;
    // The block number is 16 bits wide: a larger image would overwrite its start.
    static constexpr uint64_t kMaxImageSize = 65536ull * kBlockSize;

    blockProtocol(updateSession& session, uint8_t component);
    // Runs the whole update; its result (0 or 1), also left in the progress result.
    uint8_t run();

  private:
    // START, the blocks and END: the first failure, or 1 for a cancel before END.
    uint8_t transfer();
    uint8_t start();
    // One BLOCK command and its feature report, with the channel held between them so that no
    // other command gets in; the result of the failed step or 0.
    uint8_t sendBlock();
    uint8_t end();

    updateSession& session_;
    const uint8_t component_;
    // Bytes after a short last block keep the previous block's content, as the device expects.
    std::array<uint8_t, fx3Hid::kFeatureSize> block_{};
};

}  // namespace dravix
