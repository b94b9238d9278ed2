#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "dravix/dravix.h"
#include "dsp/cameraDsp.h"

// Conversions between parameter values and the camera's DSP value blocks. Pure functions with no
// camera access, shared by the parameter exports and the settings file. Blocks are big-endian.
namespace dravix::dspParameters {

constexpr uint16_t k13Bits = 0x1FFF;
constexpr uint16_t k12Bits = 0x0FFF;
constexpr uint16_t k11Bits = 0x07FF;
constexpr uint16_t k10Bits = 0x03FF;
constexpr uint8_t k13BitHigh = 0x1F;
constexpr uint8_t k12BitHigh = 0x0F;
// What gain and matrix getters report when the camera gave no value.
constexpr uint16_t kGainReadFailure = 1024;
constexpr int kDpcEntries = 16;
constexpr int kDpcTableBytes = kDpcEntries * 4;
// Largest white-balance window coordinates a getter reports.
constexpr uint16_t kWbWindowMaxX = 1919;
constexpr uint16_t kWbWindowMaxY = 1079;
constexpr int16_t kOffsetLimit = 2047;

uint16_t readBe16(const uint8_t* bytes);
// Writes `value` high byte first, the high byte masked with `highMask`.
void writeBe16(uint8_t* bytes, uint16_t value, uint8_t highMask = 0xFF);
// Bit 0 of a byte.
uint8_t flag(uint8_t byte);
// A caller's flag argument as 0 or 1, so that it never reaches a neighbouring bit.
uint8_t normalisedFlag(uint8_t value);

// The code of a parameter kept in two banks (edge enhancement, gamma, Sobel), given its bank-0
// function; none for a bank other than 0 and 1.
std::optional<uint8_t> bankCode(DspFunction bank0, uint8_t bank);

// Offset: sign and magnitude in 12 bits (bit 11 the sign). Magnitudes beyond 2047 are saturated.
std::array<uint8_t, 2> encodeOffset(int32_t offset);
int16_t decodeOffset(const uint8_t* block);
// Hue in degrees from 9 bits; a value above 359 reads as 0.
uint16_t decodeHue(const uint8_t* block);

// Binning byte: bit 0 the flag a, bits 1-7 the factor b.
uint8_t encodeBinning(uint8_t a, uint8_t b);
void decodeBinning(uint8_t byte, uint8_t& a, uint8_t& b);
// The camera's Bayer byte is the inverse of the caller's mode in bit 0.
uint8_t encodeBayerMode(uint8_t mode);
uint8_t decodeBayerMode(uint8_t byte);

// The flip byte: bit 0 vertical, bit 1 horizontal (software), bits 2 and 3 the same set by the
// head's keys.
struct flipState {
    uint8_t horizontal = 0;
    uint8_t vertical = 0;
    uint8_t staticHorizontal = 0;
    uint8_t staticVertical = 0;
    // A flip set with the head's keys overrides the software setting.
    bool hasStaticFlip() const { return staticHorizontal != 0 || staticVertical != 0; }
};
flipState decodeFlip(uint8_t byte);

// The defect-pixel table: 16 entries of x then y, 12 bits each.
std::array<uint8_t, kDpcTableBytes> encodeDpcTable(const DpcEntry* entries);
void decodeDpcTable(const uint8_t* block, DpcEntry* entries);

// White-balance window coordinates as reported: limited to the largest output size.
uint16_t limitWbX(uint16_t x);
uint16_t limitWbY(uint16_t y);
// White-balance window coordinates go to the camera even.
void writeWbCoordinate(uint8_t* bytes, uint16_t value);

}  // namespace dravix::dspParameters
