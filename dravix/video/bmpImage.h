#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dravix {

// A BMP file of a YUY2 frame, built whole in memory: the 54-byte header (24 bits per pixel, no
// compression, negative height for rows top to bottom) and the pixels in blue, green, red order
// as the window display converts them in the frame's colour mode, each row padded with zero
// bytes to a multiple of 4. Colour mode 8, which the display stores red first, gives its values
// in blue, green, red order like every other mode. The buffer is kept from one picture to the next.
class bmpImage {
  public:
    static constexpr std::size_t kHeaderSize = 54;

    // `yuy2` holds width × height × 2 bytes; `width` is even.
    void build(const uint8_t* yuy2, int width, int height, int32_t colorMode);
    const uint8_t* data() const { return file_.data(); }
    std::size_t size() const { return file_.size(); }
    void release();

    static std::size_t rowBytes(int width);
    static std::array<uint8_t, kHeaderSize> header(int width, int height);

  private:
    std::vector<uint8_t> file_;
};

}  // namespace dravix
