#pragma once

#include <cstddef>
#include <cstdint>

#include "video/colorConverterCoefficients.h"

namespace dravix {

// The vector conversions, each in a file of its own compiled for its instruction set; they exist
// on x86-64 only, and only colorConverter calls them, after checking that the CPU runs them.
// Each converts the whole blocks at the start of `pixels` and returns how many pixels that was;
// the caller converts the rest.
struct colorConverterSimd {
    static std::size_t convertSsse3(const colorConverterCoefficients& c, const uint8_t* yuy2,
                                    uint8_t* out, std::size_t pixels);
    static std::size_t convertAvx2(const colorConverterCoefficients& c, const uint8_t* yuy2,
                                   uint8_t* out, std::size_t pixels);
};

}  // namespace dravix
