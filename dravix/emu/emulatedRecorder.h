#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "emu/emulatedCommand.h"

namespace dravix::emu {

// The camera's recorder unit as the recorder command (0x30) reaches it: function code, parameter
// count and parameter bytes. A fitted recorder checks each request (a known code, the count that
// code takes, a zero byte for the functions without arguments, and for a command text its
// "EOC" end marker with the zero padding to a multiple of 4) and answers a malformed one with
// BAD ARGUMENT; an absent one answers NOT IMPLEMENTED. It keeps what the functions set and
// reports what it did with status interrupts of the recorder source (emulatedInterrupts::
// statusData): started (bit 1), stopped (bit 2), frame captured (bit 3), booted (bit 0, some time
// after a reboot), USB drive connected (bit 4) and removed (bit 5). The camera sends them
// through its interrupt switches. Thread-safe.
class emulatedRecorder {
  public:
    static constexpr uint8_t kCommand = 0x30;
    static constexpr uint32_t kBooted = 1u << 0;
    static constexpr uint32_t kStarted = 1u << 1;
    static constexpr uint32_t kStopped = 1u << 2;
    static constexpr uint32_t kCaptured = 1u << 3;
    static constexpr uint32_t kDriveConnected = 1u << 4;
    static constexpr uint32_t kDriveRemoved = 1u << 5;
    static constexpr std::chrono::milliseconds kDefaultBootTime{20};

    using interruptData = std::array<uint8_t, 60>;
    // Sends one interrupt report after `delay` (0: at once).
    using interruptSender =
        std::function<void(uint8_t type, const interruptData& data, std::chrono::milliseconds)>;

    // What the recorder holds.
    struct state {
        bool recording = false;
        uint32_t captures = 0;
        uint8_t debugMode = 0;
        uint32_t date = 0;    // as sent: seconds since 1970, low 32 bits
        std::string command;  // the last command text, without its frame
        bool driveConnected = true;
        uint32_t reboots = 0;
        uint8_t lastCode = 0;  // the last function accepted; 0 before the first
    };

    explicit emulatedRecorder(interruptSender send);

    // The handler of the recorder command.
    commandReply handle(const commandPayload& payload);

    // An absent recorder answers every function NOT IMPLEMENTED. Fitted by default.
    void setFitted(bool fitted);
    // How long after a reboot the recorder reports that it booted.
    void setBootTime(std::chrono::milliseconds time);
    // A USB drive plugged into or pulled from the recorder's port; reported when it changes.
    void setDriveConnected(bool connected);

    state current() const;
    // How often function `code` was accepted.
    uint32_t calls(uint8_t code) const;

  private:
    // Applies an accepted function to the state; the event bits to report, 0 for none.
    uint32_t apply(uint8_t code, const uint8_t* parameters, uint8_t count);
    void report(uint32_t mask, std::chrono::milliseconds delay);

    const interruptSender send_;
    mutable std::mutex mutex_;
    bool fitted_ = true;
    std::chrono::milliseconds bootTime_ = kDefaultBootTime;
    state state_;
    std::array<uint32_t, 256> calls_{};
};

}  // namespace dravix::emu
