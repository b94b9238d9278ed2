#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dravix::emu {

// The moving test pattern of the emulated camera: YUY2 frames (Y0 U Y1 V per pixel pair, studio
// range) in which every byte follows from the frame number n, so that tests can check the frames
// they receive. From the top:
// - counter rows, [0, counterRows(height)): bit b of n (b = 0..31, lowest first) in pixels
//   8b..8b+7 of every row, Y = kWhite for a one and kBlack for a zero; pixels from 256 on are
//   kBlack. Frames narrower than 256 pixels carry the low width / 8 bits.
// - bar rows, [counterRows, gradientTop(height)): the eight kBars; with P = width / 2 pixel
//   pairs, pair p shows bar ((p + n) mod P) * 8 / P, so the bars move left one pair per frame.
// - gradient rows, [gradientTop, height): Y = 16 + x * 219 / (width - 1) at pixel x, the same in
//   every frame.
// Chroma is kNeutral outside the bars. Upside down, row r holds row height - 1 - r.
class testPattern {
  public:
    struct colour {
        uint8_t y;
        uint8_t u;
        uint8_t v;
    };
    // 75 % bars: white, yellow, cyan, green, magenta, red, blue, black.
    static constexpr std::array<colour, 8> kBars{{{180, 128, 128},
                                                  {162, 44, 142},
                                                  {131, 156, 44},
                                                  {112, 72, 58},
                                                  {84, 184, 198},
                                                  {65, 100, 212},
                                                  {35, 212, 114},
                                                  {16, 128, 128}}};
    static constexpr uint8_t kBlack = 16;
    static constexpr uint8_t kWhite = 235;
    static constexpr uint8_t kNeutral = 128;
    static constexpr int kCounterBits = 32;
    static constexpr int kBlockWidth = 8;
    static constexpr uint16_t kMaxCounterRows = 8;

    testPattern(uint16_t width, uint16_t height, bool upsideDown = false);

    uint16_t width() const { return width_; }
    uint16_t height() const { return height_; }
    bool upsideDown() const { return upsideDown_; }
    std::size_t frameBytes() const { return std::size_t{width_} * height_ * 2; }

    // Writes frame `frameNumber` to `yuy2` (frameBytes() bytes).
    void renderInto(uint32_t frameNumber, uint8_t* yuy2) const;
    // Frame `frameNumber` in the pattern's own buffer, valid until the next call. Only the
    // counter and bar rows are rewritten after the first call: the gradient never changes.
    const std::vector<uint8_t>& frame(uint32_t frameNumber);

    // Writes frame `frameNumber` of a width x height pattern to `yuy2`, top row first.
    static void render(uint32_t frameNumber, uint16_t width, uint16_t height, uint8_t* yuy2);
    // The frame number in a counter row (the first row of a frame, or its last one when the frame
    // is upside down).
    static uint32_t frameNumberOf(const uint8_t* yuy2, uint16_t width);

    static uint16_t counterRows(uint16_t height);
    static uint16_t gradientTop(uint16_t height);

  private:
    std::size_t rowBytes() const { return std::size_t{width_} * 2; }
    // Row `row` of the pattern, where it lies in the frame.
    uint8_t* rowAt(uint8_t* yuy2, uint16_t row) const;
    void writeMovingRows(uint32_t frameNumber, uint8_t* yuy2) const;
    void writeGradientRows(uint8_t* yuy2) const;
    void writeCounterRow(uint32_t frameNumber, uint8_t* row) const;

    const uint16_t width_;
    const uint16_t height_;
    const bool upsideDown_;
    const uint16_t counterRows_;
    const uint16_t gradientTop_;
    // The bars over more than two periods, so that the row of any frame is one contiguous slice.
    std::vector<uint8_t> bars_;
    std::vector<uint8_t> gradient_;
    std::vector<uint8_t> frame_;
    bool frameHasStaticRows_ = false;
};

}  // namespace dravix::emu
