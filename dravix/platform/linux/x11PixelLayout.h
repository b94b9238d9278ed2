#pragma once

#include <X11/Xlib.h>

#include <array>
#include <cstdint>
#include <optional>

namespace dravix::platform {

// How a TrueColor image of the X server stores a pixel, and the conversion of 24-bit BGR pixels
// into it. Supported: Z-format images of 8, 16, 24 or 32 bits per pixel in either byte order,
// with contiguous red, green and blue masks of 1 to 16 bits each inside the depth. A channel of
// fewer than 8 bits keeps the top bits of the value; a wider one repeats them downwards, so that
// full intensity stays full. Bits of the depth outside the three masks (an alpha channel) are all
// set, so the picture is opaque.
class x11PixelLayout {
  public:
    // The layout of `image` (format, depth, bits per pixel, byte order and colour masks); empty
    // when the image's pixels cannot be written by this class.
    static std::optional<x11PixelLayout> fromImage(const XImage& image);

    // Writes the top-down `width` × `height` BGR pixels (rows width × 3 bytes apart) into the
    // top-left corner of `image`, which has this layout and at least that size.
    void convert(const uint8_t* bgr, int width, int height, XImage& image) const;

  private:
    x11PixelLayout() = default;
    void convertRow(const uint8_t* bgr, int width, uint8_t* out) const;
    // The common 32-bit layout with blue in the first byte and red in the third.
    void convertRowBgrx(const uint8_t* bgr, int width, uint8_t* out) const;
    void storePixel(uint32_t pixel, uint8_t* out) const;

    // The pixel bits of each channel value.
    std::array<uint32_t, 256> red_{};
    std::array<uint32_t, 256> green_{};
    std::array<uint32_t, 256> blue_{};
    uint32_t fill_ = 0;
    int bytesPerPixel_ = 0;
    bool mostSignificantFirst_ = false;
    bool bgrx_ = false;
};

}  // namespace dravix::platform
