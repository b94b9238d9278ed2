#pragma once

#include <cstddef>
#include <cstdint>

#include "video/colorConverterCoefficients.h"

namespace dravix {

// Converts YUY2 frames (Y0, U, Y1, V per pair of pixels) to 24-bit pixels for the window display.
// The colour mode selects the formulas:
//   1  grey, every channel Y
//   2  grey stretched from video range: ((Y − 16) × 4769) >> 12
//   4  video-range BT.709 matrix
//   5  full-range BT.601 matrix, as Y plus chroma terms
//   6  video-range BT.601 matrix
//   8  as 4, stored red, green, blue
//   any other value (0, 3, 7, …): full-range BT.709 matrix, as Y plus chroma terms
// Products are integer, >> 12 shifts arithmetically (rounds towards −∞), and every channel is
// limited to 0..255. Pixels are stored blue, green, red except in mode 8.
//
// `yuy2` holds `pixels` × 2 bytes and `out` `pixels` × 3 bytes; neither is read or written past
// that. With an odd count the last pair lacks its V byte, so its single pixel is converted with
// V = 128 (no red-difference). The buffers must not overlap; no alignment is needed.
class colorConverter {
  public:
    // The implementations. Every one gives the same bytes as the scalar one for every input.
    enum class isa { scalar, ssse3, avx2 };

    // With the fastest implementation this CPU runs, chosen once.
    static void convert(int32_t mode, const uint8_t* yuy2, uint8_t* out, std::size_t pixels);
    // With the plain formulas, one pixel at a time: the reference for the others.
    static void convertScalar(int32_t mode, const uint8_t* yuy2, uint8_t* out, std::size_t pixels);
    // With `path`, or with the scalar one when this build or CPU lacks `path`.
    static void convertWith(isa path, int32_t mode, const uint8_t* yuy2, uint8_t* out,
                            std::size_t pixels);

    // Converts the whole vector blocks at the start of `pixels` with the linear form `form` and
    // the fastest implementation; returns how many pixels that was (0 where no vector code runs).
    // The caller converts the rest with its own formulas. For programs whose formulas are not one
    // of the colour modes but fit the linear form.
    static std::size_t convertBlocks(const colorConverterCoefficients& form, const uint8_t* yuy2,
                                     uint8_t* out, std::size_t pixels);

    // Whether this build has `path` and this CPU runs it.
    static bool available(isa path);
    // The implementation convert() uses.
    static isa activeIsa();
    // Its name for reports: "scalar", "ssse3" or "avx2".
    static const char* activePath();
    static const char* name(isa path);
};

}  // namespace dravix
