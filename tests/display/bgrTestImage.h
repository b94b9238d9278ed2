#pragma once

// GoogleTest comes before Xlib, whose macros (None, Bool, Status) break its declarations.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstdint>
#include <vector>

namespace dravix::test {

// A top-down 24-bit BGR picture whose blue, green and red run through their whole range at
// different rates across it, so that a swapped channel, a wrong row stride or a shifted pixel
// shows; `seed` moves the pattern, so that two pictures of one size differ.
class bgrTestImage {
  public:
    bgrTestImage(int width, int height, int seed);

    int width() const { return width_; }
    int height() const { return height_; }
    const uint8_t* data() const { return pixels_.data(); }
    const uint8_t* pixel(int x, int y) const;
    // This picture with `top` drawn over its top-left corner.
    bgrTestImage overlaid(const bgrTestImage& top) const;

    // Whether the top-left corner of `image`, of this picture's size, shows this picture: in
    // each pixel, every colour channel's top bits (as many as the channel and 8 bits share)
    // equal those of the BGR value, and every bit of the depth outside the colour masks (an
    // alpha channel) is set. Reads `image` with Xlib's own XGetPixel.
    ::testing::AssertionResult isShownIn(XImage& image) const;

  private:
    int width_;
    int height_;
    std::vector<uint8_t> pixels_;
};

}  // namespace dravix::test
