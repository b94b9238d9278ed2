#include "dsp/dspParameters.h"

#include <algorithm>
#include <cstdlib>

namespace dravix::dspParameters {

namespace {
constexpr uint16_t kOffsetSign = 0x800;
constexpr uint8_t kOffsetMagnitudeHigh = 0x07;
constexpr uint8_t kOffsetSignHigh = 0x08;
constexpr uint16_t kHueLimit = 359;
}  // namespace

uint16_t readBe16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

void writeBe16(uint8_t* bytes, uint16_t value, uint8_t highMask) {
    bytes[0] = static_cast<uint8_t>((value >> 8) & highMask);
    bytes[1] = static_cast<uint8_t>(value & 0xFF);
}

uint8_t flag(uint8_t byte) {
    return byte & 1;
}

uint8_t normalisedFlag(uint8_t value) {
    return value != 0 ? 1 : 0;
}

std::optional<uint8_t> bankCode(DspFunction bank0, uint8_t bank) {
    if (bank > 1) {
        return std::nullopt;
    }
    if (bank == 0) {
        return dspCode(bank0);
    }
    switch (bank0) {
        case DspFunction::EdgeEnhancement0:
            return dspCode(DspFunction::EdgeEnhancement1);
        case DspFunction::Gamma0:
            return dspCode(DspFunction::Gamma1);
        case DspFunction::Sobel0:
            return dspCode(DspFunction::Sobel1);
        default:
            return std::nullopt;
    }
}

// Computed in 32 bits: the magnitude of INT16_MIN does not fit 16 bits, and a magnitude of 2048
// or more would set the sign bit.
std::array<uint8_t, 2> encodeOffset(int32_t offset) {
    const int32_t magnitude = std::min<int32_t>(std::abs(offset), kOffsetLimit);
    const uint16_t field =
        static_cast<uint16_t>(magnitude) | static_cast<uint16_t>(offset < 0 ? kOffsetSign : 0);
    std::array<uint8_t, 2> block{};
    writeBe16(block.data(), field, k12BitHigh);
    return block;
}

int16_t decodeOffset(const uint8_t* block) {
    const int magnitude = (block[0] & kOffsetMagnitudeHigh) << 8 | block[1];
    return static_cast<int16_t>((block[0] & kOffsetSignHigh) != 0 ? -magnitude : magnitude);
}

uint16_t decodeHue(const uint8_t* block) {
    const uint16_t hue = static_cast<uint16_t>((block[0] & 1) << 8 | block[1]);
    return hue > kHueLimit ? 0 : hue;
}

uint8_t encodeBinning(uint8_t a, uint8_t b) {
    return static_cast<uint8_t>(b << 1 | normalisedFlag(a));
}

void decodeBinning(uint8_t byte, uint8_t& a, uint8_t& b) {
    a = flag(byte);
    b = static_cast<uint8_t>(byte >> 1);
}

uint8_t encodeBayerMode(uint8_t mode) {
    return mode == 0 ? 1 : 0;
}

uint8_t decodeBayerMode(uint8_t byte) {
    return flag(byte) ^ 1;
}

flipState decodeFlip(uint8_t byte) {
    return {static_cast<uint8_t>(byte >> 1 & 1), static_cast<uint8_t>(byte & 1),
            static_cast<uint8_t>(byte >> 3 & 1), static_cast<uint8_t>(byte >> 2 & 1)};
}

std::array<uint8_t, kDpcTableBytes> encodeDpcTable(const DpcEntry* entries) {
    std::array<uint8_t, kDpcTableBytes> block{};
    for (int i = 0; i < kDpcEntries; ++i) {
        writeBe16(&block[4 * i], entries[i].x, k12BitHigh);
        writeBe16(&block[4 * i + 2], entries[i].y, k12BitHigh);
    }
    return block;
}

void decodeDpcTable(const uint8_t* block, DpcEntry* entries) {
    for (int i = 0; i < kDpcEntries; ++i) {
        entries[i].x = readBe16(&block[4 * i]) & k12Bits;
        entries[i].y = readBe16(&block[4 * i + 2]) & k12Bits;
    }
}

uint16_t limitWbX(uint16_t x) {
    return std::min(x, kWbWindowMaxX);
}

uint16_t limitWbY(uint16_t y) {
    return std::min(y, kWbWindowMaxY);
}

void writeWbCoordinate(uint8_t* bytes, uint16_t value) {
    writeBe16(bytes, static_cast<uint16_t>(value & 0xFFFE));
}

}  // namespace dravix::dspParameters
