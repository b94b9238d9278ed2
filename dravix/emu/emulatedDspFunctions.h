#pragma once

#include <array>
#include <cstdint>

namespace dravix::emu {

// One DSP function as the camera sees it: how many value bytes it answers a read with and how
// many a write may fill; 0 where the camera refuses the direction.
struct emulatedDspFunction {
    uint8_t code;
    uint8_t answeredBytes;
    uint8_t acceptedBytes;
};

// The camera's own list of DSP functions, kept apart from the library's table on purpose: a
// wrong size on either side then shows up as a failed exchange or a failed comparison in the
// tests instead of being mirrored.
inline constexpr std::array<emulatedDspFunction, 39> kEmulatedDspFunctions{{
    {0x00, 10, 10},  // colour gains
    {0x01, 2, 2},    // hue
    {0x02, 2, 2},    // saturation
    {0x03, 3, 3},    // mask enable
    {0x04, 10, 10},  // mask parameters
    {0x05, 7, 7},    // edge enhancement, bank 0
    {0x06, 37, 37},  // gamma, bank 0
    {0x07, 8, 8},    // gain
    {0x08, 9, 9},    // white-balance window
    {0x09, 4, 4},    // Sobel filter, bank 0
    {0x0A, 0, 1},    // white-balance push
    {0x0B, 18, 18},  // colour matrix
    {0x0C, 15, 15},  // auto-exposure values
    {0x0D, 50, 50},  // key setting
    {0x0E, 3, 3},    // window position
    {0x0F, 32, 33},  // window sizes
    {0x10, 2, 2},    // target
    {0x15, 1, 1},    // edge mode
    {0x16, 10, 10},  // scale
    {0x19, 0, 2},    // window auto-exposure mode
    {0x1B, 2, 2},    // offset
    {0x1E, 1, 1},    // flip
    {0x1F, 4, 5},    // microcontroller configuration
    {0x20, 2, 0},    // toggle state
    {0x21, 7, 7},    // edge enhancement, bank 1
    {0x22, 37, 37},  // gamma, bank 1
    {0x23, 4, 4},    // Sobel filter, bank 1
    {0x24, 1, 1},    // camera type
    {0x25, 0, 1},    // update interrupt request
    {0x26, 0, 1},    // raw mode
    {0x27, 0, 1},    // defect-pixel detection
    {0x28, 3, 3},    // defect-pixel configuration
    {0x29, 64, 64},  // defect-pixel table
    {0x2A, 4, 4},    // overexposure
    {0x2B, 4, 4},    // overexposure target
    {0x2C, 24, 24},  // overexposure weights
    {0x2E, 1, 1},    // binning
    {0x2F, 11, 11},  // overexposure target steps
    {0x30, 1, 1},    // Bayer mode
}};

}  // namespace dravix::emu
