#pragma once

#include <cstdint>
#include <vector>

#include "device/flashLoaderImage.h"
#include "device/updateSession.h"

namespace dravix {

// The update of a microcontroller through its flash loader, spoken over the camera's I2C
// pass-through with the loader command as a one-byte register: the application is switched to
// the loader, the loader is checked and its flash erased, every block that holds data is
// written, acknowledged and read back, and the loader is left again. The head interrupts are
// off meanwhile and always switched on at the end.
//
// Results: 0, 1 (an image that is not a loader image: nothing is sent; or a cancel), or 41 to 48
// for the step that failed. The first failure code stays.
class flashLoader {
  public:
    static constexpr uint8_t kCmdStartLoader = 'X';
    static constexpr uint8_t kCmdEnter = 0x83;
    static constexpr uint8_t kCmdPoll = '%';
    static constexpr uint8_t kCmdQuery = 'Q';
    static constexpr uint8_t kCmdErase = 'R';
    static constexpr uint8_t kCmdSend = 'S';
    static constexpr uint8_t kCmdReadBack = 'D';
    static constexpr uint8_t kCmdTerminate = 'T';
    static constexpr uint8_t kReady = '#';

    static constexpr uint8_t kFirstPollFailed = 41;
    static constexpr uint8_t kNoAnswer = 42;
    static constexpr uint8_t kQueryFailed = 43;
    static constexpr uint8_t kEraseFailed = 44;
    static constexpr uint8_t kBlockWriteFailed = 45;
    static constexpr uint8_t kReadBackFailed = 46;
    static constexpr uint8_t kVerifyFailed = 47;
    static constexpr uint8_t kTerminateFailed = 48;

    static constexpr int kPollReads = 11;
    static constexpr int kExtraPollRounds = 10;
    static constexpr uint16_t kReadBackLength = 255;

    flashLoader(updateSession& session, uint8_t address);
    uint8_t run();

  private:
    enum class poll { ready, notReady, readFailed };

    // The steps up to the erased flash; false when one failed (its code stored).
    bool enterLoader();
    bool waitAfterErase();
    void writeBlocks();
    // One block: its write, the loader's acknowledgement and the read-back, with the channel
    // held for all three so that no other command gets in between.
    uint8_t writeBlock(const flashLoaderImage::block& block);
    uint8_t checkReadBack(const flashLoaderImage::block& block);
    void leaveLoader();

    // Up to `reads` reads of the loader's state until it answers '#'.
    poll pollReady(int reads);
    uint8_t write(uint8_t command, const std::vector<uint8_t>& data);
    // A failure of the steps after the head interrupts went off: the code (unless one is
    // stored), or 1 for a cancel; true when the update is to wind up.
    bool failedWith(uint8_t code);
    bool cancelledOrPaused(std::chrono::milliseconds duration);

    updateSession& session_;
    const uint8_t address_;
    std::vector<flashLoaderImage::block> blocks_;
};

}  // namespace dravix
