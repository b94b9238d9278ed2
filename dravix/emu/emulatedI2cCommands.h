#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "emu/emulatedCommand.h"
#include "emu/emulatedFeaturePort.h"
#include "emu/emulatedI2cBus.h"

namespace dravix::emu {

// The camera's I2C pass-through: the read and write commands, each answered in the command
// reply when the data fits it, or with a feature-report data phase when it does not.
//
// Request payload: byte 0 device address, byte 1 register-address length n, bytes 2-3 data
// length L (big-endian), bytes 4..3+n the register address (big-endian), then the write data.
class emulatedI2cCommands {
  public:
    emulatedI2cCommands(emulatedI2cBus& bus, emulatedFeaturePort& features);

    commandReply read(const commandPayload& payload);
    commandReply write(const commandPayload& payload);

  private:
    struct header {
        uint8_t address;
        std::size_t registerLength;
        std::size_t dataLength;
        uint32_t reg;
        // The register address does not fit the 32 bits of a bus register.
        bool registerTooWide;
    };

    static constexpr uint8_t kFeatureReportId = 1;
    static constexpr std::size_t kHeaderSize = 4;

    // Null when the header itself does not fit the payload.
    static std::optional<header> parse(const commandPayload& payload);
    // The largest data length (exclusive) that still travels inside the command or reply.
    static std::size_t inReportLimit(const header& request);
    static commandReply status(uint8_t value);

    commandReply readInReply(const header& request);
    commandReply readThroughFeature(const header& request);
    commandReply writeFromReport(const header& request, const commandPayload& payload);
    commandReply writeThroughFeature(const header& request);

    emulatedI2cBus& bus_;
    emulatedFeaturePort& features_;
};

}  // namespace dravix::emu
