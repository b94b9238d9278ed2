#include "emu/testPattern.h"

#include <algorithm>
#include <cstring>

namespace dravix::emu {

namespace {

// Stores pixel `x` of a YUY2 row: its luma, and the chroma byte that the pixel's place in its
// pair carries (U for the even pixel, V for the odd one).
void putPixel(uint8_t* row, std::size_t x, uint8_t y, const testPattern::colour& chroma) {
    row[2 * x] = y;
    row[2 * x + 1] = x % 2 == 0 ? chroma.u : chroma.v;
}

// The bars for `pairs` pixel pairs from pair 0 on, in a pattern of `period` pairs.
std::vector<uint8_t> barRow(std::size_t pairs, std::size_t period) {
    std::vector<uint8_t> row(pairs * 4);
    for (std::size_t pair = 0; pair < pairs; ++pair) {
        const auto& bar = testPattern::kBars[(pair % period) * testPattern::kBars.size() / period];
        putPixel(row.data(), 2 * pair, bar.y, bar);
        putPixel(row.data(), 2 * pair + 1, bar.y, bar);
    }
    return row;
}

std::vector<uint8_t> gradientRow(uint16_t width) {
    std::vector<uint8_t> row(std::size_t{width} * 2);
    const testPattern::colour neutral{0, testPattern::kNeutral, testPattern::kNeutral};
    unsigned last = std::max(1, width - 1);
    for (unsigned x = 0; x < width; ++x) {
        putPixel(row.data(), x, static_cast<uint8_t>(16 + x * 219 / last), neutral);
    }
    return row;
}

}  // namespace

testPattern::testPattern(uint16_t width, uint16_t height, bool upsideDown)
    : width_(width),
      height_(height),
      upsideDown_(upsideDown),
      counterRows_(counterRows(height)),
      gradientTop_(gradientTop(height)),
      gradient_(gradientRow(width)) {
    // One pair more than two periods covers the odd pixel of an odd width at the largest shift.
    std::size_t period = std::max(1, width / 2);
    bars_ = barRow(2 * period + 1, period);
}

uint16_t testPattern::counterRows(uint16_t height) {
    return std::min(height, kMaxCounterRows);
}

uint16_t testPattern::gradientTop(uint16_t height) {
    uint16_t counter = counterRows(height);
    return static_cast<uint16_t>(counter + (height - counter) * 3 / 4);
}

void testPattern::renderInto(uint32_t frameNumber, uint8_t* yuy2) const {
    writeGradientRows(yuy2);
    writeMovingRows(frameNumber, yuy2);
}

const std::vector<uint8_t>& testPattern::frame(uint32_t frameNumber) {
    if (!frameHasStaticRows_) {
        frame_.resize(frameBytes());
        writeGradientRows(frame_.data());
        frameHasStaticRows_ = true;
    }
    writeMovingRows(frameNumber, frame_.data());
    return frame_;
}

void testPattern::render(uint32_t frameNumber, uint16_t width, uint16_t height, uint8_t* yuy2) {
    testPattern(width, height).renderInto(frameNumber, yuy2);
}

uint32_t testPattern::frameNumberOf(const uint8_t* yuy2, uint16_t width) {
    uint32_t frameNumber = 0;
    int blocks = std::min(kCounterBits, width / kBlockWidth);
    for (int bit = 0; bit < blocks; ++bit) {
        // A block is a one when its mean luma is nearer white than black.
        unsigned sum = 0;
        for (int x = bit * kBlockWidth; x < (bit + 1) * kBlockWidth; ++x) {
            sum += yuy2[2 * x];
        }
        if (sum * 2 > unsigned{kBlack + kWhite} * kBlockWidth) {
            frameNumber |= uint32_t{1} << bit;
        }
    }
    return frameNumber;
}

uint8_t* testPattern::rowAt(uint8_t* yuy2, uint16_t row) const {
    uint16_t placed = upsideDown_ ? static_cast<uint16_t>(height_ - 1 - row) : row;
    return yuy2 + placed * rowBytes();
}

void testPattern::writeMovingRows(uint32_t frameNumber, uint8_t* yuy2) const {
    if (counterRows_ > 0) {
        uint8_t* first = rowAt(yuy2, 0);
        writeCounterRow(frameNumber, first);
        for (uint16_t row = 1; row < counterRows_; ++row) {
            std::memcpy(rowAt(yuy2, row), first, rowBytes());
        }
    }
    std::size_t period = std::max(1, width_ / 2);
    const uint8_t* bars = bars_.data() + (frameNumber % period) * 4;
    for (uint16_t row = counterRows_; row < gradientTop_; ++row) {
        std::memcpy(rowAt(yuy2, row), bars, rowBytes());
    }
}

void testPattern::writeGradientRows(uint8_t* yuy2) const {
    for (uint16_t row = gradientTop_; row < height_; ++row) {
        std::memcpy(rowAt(yuy2, row), gradient_.data(), rowBytes());
    }
}

void testPattern::writeCounterRow(uint32_t frameNumber, uint8_t* row) const {
    const colour neutral{0, kNeutral, kNeutral};
    for (unsigned x = 0; x < width_; ++x) {
        unsigned bit = x / kBlockWidth;
        bool one = bit < kCounterBits && (frameNumber >> bit & 1) != 0;
        putPixel(row, x, one ? kWhite : kBlack, neutral);
    }
}

}  // namespace dravix::emu
