#pragma once

#include <cstdint>

namespace dravix {

// Every colour mode rewritten as one linear form per output byte:
//   byte = clamp((luma·Y + blue·U + red·V + offset) >> 12, 0, 255)
// with the same luma weight for the three bytes. The forms "Y + (x >> 12)" and "Y − (x >> 12)"
// of the modes that add chroma terms to Y fit it exactly, because Y + ⌊x / 4096⌋ equals
// ⌊(4096·Y + x) / 4096⌋ and −⌊x / 4096⌋ equals ⌊(4095 − x) / 4096⌋. The vector code computes only
// this form; its tests compare it with the formulas as written over every input.
struct colorConverterCoefficients {
    // Weights of U and V and the constant of one output byte.
    struct channel {
        int16_t blue;
        int16_t red;
        int32_t offset;
    };

    int16_t luma;
    // In storage order: byte 0, 1 and 2 of each pixel.
    channel bytes[3];

    // The form for `mode`; unknown modes get the default one.
    static colorConverterCoefficients forMode(int32_t mode);
};

}  // namespace dravix
