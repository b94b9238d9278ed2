#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>

#include "emu/emulatedIdentity.h"

namespace dravix::emu {

// The interrupt reports the camera sends on its own, and the switches that let them out.
//
// A status interrupt (type 1) carries the source in data byte 0 and a 32-bit event mask, most
// significant byte first, in bytes 1 to 4; the rest is zero. Every device-originated event of the
// camera's models goes through send() or raise(), which drop it while the switches hold it back:
// with the controller's interrupt handling off nothing goes out, and the head's own events
// (source 1) also need the head interrupts on and the head powered. Both interrupt switches are
// on after power-up. injectInterrupt() of the camera bypasses the switches. Thread-safe.
class emulatedInterrupts {
  public:
    static constexpr uint8_t kStatusType = 1;
    using interruptData = std::array<uint8_t, 60>;
    // Sends one interrupt report after `delay` (0: at once).
    using interruptSender =
        std::function<void(uint8_t type, const interruptData& data, std::chrono::milliseconds)>;

    // Interrupt sources.
    static constexpr uint8_t kFpga = 0;
    static constexpr uint8_t kHead = 1;
    static constexpr uint8_t kController = 2;
    static constexpr uint8_t kDriver = 3;
    static constexpr uint8_t kRecorder = 4;

    emulatedInterrupts(const emulatedIdentity& switches, interruptSender send);

    // The data bytes of a status interrupt from `source` with `mask`; any bits, named or not.
    static interruptData statusData(uint8_t source, uint32_t mask);

    // Whether an event from `source` would go out now.
    bool passes(uint8_t source) const;
    // Sends a status interrupt from `source` with `mask` after `delay` when the switches let it
    // through; true when sent.
    bool raise(uint8_t source, uint32_t mask,
               std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    // The same for an interrupt report of any type with its data; data byte 0 is the source.
    bool send(uint8_t type, const interruptData& data,
              std::chrono::milliseconds delay = std::chrono::milliseconds(0));

  private:
    const emulatedIdentity& switches_;
    const interruptSender send_;
};

}  // namespace dravix::emu
