#pragma once

#include <array>
#include <cstdint>
#include <functional>

// The device side of one command report: what a command handler receives and answers.
namespace dravix::emu {

// Status bytes of a reply that the emulated camera itself produces.
namespace replyStatus {
constexpr uint8_t success = 0;
constexpr uint8_t badArgument = 2;
constexpr uint8_t notImplemented = 4;
constexpr uint8_t i2cNotValid = 21;
}  // namespace replyStatus

// Bytes 2..63 of a command report.
using commandPayload = std::array<uint8_t, 62>;

// Status and payload (bytes 3..63) of a reply report; unused payload bytes stay zero.
struct commandReply {
    uint8_t status = replyStatus::success;
    std::array<uint8_t, 61> payload{};
};

// Answers one command. Runs on the thread that wrote the command report.
using commandHandler = std::function<commandReply(const commandPayload& payload)>;

}  // namespace dravix::emu
