#include "bgrTestImage.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>

namespace dravix::test {
namespace {

int lowestBit(unsigned long mask) {
    int shift = 0;
    for (; mask != 0 && (mask & 1) == 0; mask >>= 1) {
        ++shift;
    }
    return shift;
}

int bitCount(unsigned long mask) {
    return __builtin_popcountl(mask);
}

// The top bits that an 8-bit value and the channel of `mask` in `pixel` have in common.
bool channelShows(unsigned long pixel, unsigned long mask, uint8_t value) {
    const int bits = bitCount(mask);
    const unsigned long channel = (pixel & mask) >> lowestBit(mask);
    return (channel >> std::max(bits - 8, 0)) ==
           static_cast<unsigned long>(value >> std::max(8 - bits, 0));
}

bool alphaIsOpaque(unsigned long pixel, const XImage& image) {
    const unsigned long depthBits = (uint64_t{1} << image.depth) - 1;
    const unsigned long alpha = depthBits & ~(image.red_mask | image.green_mask | image.blue_mask);
    return (pixel & alpha) == alpha;
}

}  // namespace

bgrTestImage::bgrTestImage(int width, int height, int seed)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height * 3) {
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* const bgr = &pixels_[(static_cast<std::size_t>(y) * width + x) * 3];
            bgr[0] = static_cast<uint8_t>(x * 256 / width + seed * 37);
            bgr[1] = static_cast<uint8_t>(y * 256 / height + seed * 91 + 85);
            bgr[2] = static_cast<uint8_t>((x + y) * 7 + seed * 53 + 170);
        }
    }
}

const uint8_t* bgrTestImage::pixel(int x, int y) const {
    return &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 3];
}

bgrTestImage bgrTestImage::overlaid(const bgrTestImage& top) const {
    bgrTestImage result = *this;
    for (int y = 0; y < std::min(top.height_, height_); ++y) {
        const std::size_t rowBytes = static_cast<std::size_t>(std::min(top.width_, width_)) * 3;
        std::copy_n(top.pixel(0, y), rowBytes,
                    &result.pixels_[static_cast<std::size_t>(y) * width_ * 3]);
    }
    return result;
}

::testing::AssertionResult bgrTestImage::isShownIn(XImage& image) const {
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            const unsigned long shown = XGetPixel(&image, x, y);
            const uint8_t* const bgr = pixel(x, y);
            if (!channelShows(shown, image.blue_mask, bgr[0]) ||
                !channelShows(shown, image.green_mask, bgr[1]) ||
                !channelShows(shown, image.red_mask, bgr[2]) || !alphaIsOpaque(shown, image)) {
                char text[96];
                std::snprintf(text, sizeof text,
                              "pixel (%d, %d) is %#lx for blue %#x, green %#x, red %#x", x, y,
                              shown, bgr[0], bgr[1], bgr[2]);
                return ::testing::AssertionFailure() << text;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace dravix::test
