#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "emu/emulatedCommand.h"
#include "emu/emulatedDsp.h"

namespace dravix::emu {

// What the camera does after some DSP commands, on top of emulatedDsp's block store: a write
// to WbPush (0x0A) finishes a white balance and reports it with an interrupt, a write to
// DpcDetect (0x27) fills the defect-pixel table and reports it, and storing the DSP settings
// reports its end. The interrupts are off until a test turns them on (so that a plain camera's
// wire traffic stays the replies alone); the detection always fills the table. Interrupts are
// status interrupts (emulatedInterrupts::statusData), sent through the camera's interrupt
// switches. Thread-safe.
class emulatedDspEvents {
  public:
    static constexpr uint8_t kStatusInterrupt = 1;
    using interruptData = std::array<uint8_t, 60>;
    // Sends one interrupt report after `delay` (0: at once).
    using interruptSender =
        std::function<void(uint8_t type, const interruptData& data, std::chrono::milliseconds)>;

    // Sources that report a finished white balance: the FPGA (bit 6), the head (bit 5) and the
    // USB controller (bit 4).
    enum class wbSource : uint8_t { fpga = 0, head = 1, controller = 2 };

    emulatedDspEvents(emulatedDsp& dsp, interruptSender send);

    // The DSP command handlers with the events added.
    commandReply set(const commandPayload& payload);
    commandReply save(const commandPayload& payload);

    // Which source reports a white balance, and how long after the write; none reports nothing.
    void setWbCompletion(std::optional<wbSource> source,
                         std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    // Whether a detection and a store report their end (INTR_DPC_DONE, INTR_FX3_SAVE_EEP_FINISH).
    void setCompletionInterrupts(bool on);
    // The 64 table bytes a detection finds; by default 16 entries (16 i + 1, 8 i + 2).
    void setDetectedDefects(const std::vector<uint8_t>& table);

    // emulatedInterrupts::statusData.
    static interruptData statusData(uint8_t source, uint32_t mask);

  private:
    static constexpr uint32_t kFpgaWbDone = 1u << 6;
    static constexpr uint32_t kHeadWbDone = 1u << 5;
    static constexpr uint32_t kControllerWbDone = 1u << 4;
    static constexpr uint32_t kDpcDone = 1u << 10;      // FPGA source
    static constexpr uint32_t kSaveFinished = 1u << 2;  // controller source

    void finishWhiteBalance();
    void detectDefects();
    bool completionInterrupts() const;

    emulatedDsp& dsp_;
    const interruptSender send_;
    mutable std::mutex mutex_;
    std::optional<wbSource> wbSource_;
    bool completionInterrupts_ = false;
    std::chrono::milliseconds wbDelay_{0};
    std::vector<uint8_t> detected_;
};

}  // namespace dravix::emu
