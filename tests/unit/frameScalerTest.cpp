#include "video/frameScaler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "video/scaleGeometry.h"

namespace dravix {
namespace {

using bytes = std::vector<uint8_t>;

bytes randomBytes(std::size_t size, std::mt19937& random) {
    bytes result(size);
    for (std::size_t at = 0; at < size; ++at) {
        result[at] = static_cast<uint8_t>(random() >> 24);
    }
    return result;
}

bytes sourceFor(const scaleGeometry& geometry, std::mt19937& random) {
    return randomBytes(std::size_t{geometry.frameWidth()} * geometry.frameHeight() * 3, random);
}

std::size_t displayBytes(const scaleGeometry& geometry) {
    return static_cast<std::size_t>(geometry.displayWidth()) * geometry.displayHeight() * 3;
}

bytes referencePicture(const scaleGeometry& geometry, const bytes& source, bytes display) {
    EXPECT_TRUE(frameScaler::scaleReference(geometry, source.data(), source.size(), display.data(),
                                            display.size()));
    return display;
}

bytes fastPicture(const scaleGeometry& geometry, bool vectorized, const bytes& source,
                  bytes display) {
    frameScaler scaler(geometry);
    scaler.setVectorized(vectorized);
    EXPECT_TRUE(scaler.scale(source.data(), source.size(), display.data(), display.size()));
    return display;
}

TEST(scaleGeometry, fitsATooLargeScaleToTheDrawingArea) {
    const scaleGeometry geometry(1920, 1080, 960, 600, 2.0f);
    EXPECT_EQ(geometry.widthRatio(), 0.5);
    EXPECT_DOUBLE_EQ(geometry.heightRatio(), 600.0 / 1080.0);
    EXPECT_EQ(geometry.requestedScale(), 2.0);
    EXPECT_EQ(geometry.effectiveScale(), 0.5);
    EXPECT_EQ(geometry.scaledWidth(), 960);
    EXPECT_EQ(geometry.scaledHeight(), 540);
    EXPECT_EQ(geometry.horizontalRemainder(), 0);
    EXPECT_EQ(geometry.xLimit(), 1917.0);
    EXPECT_EQ(geometry.yLimit(), 1077.0);
    // The height decides when it is the tighter side.
    EXPECT_EQ(scaleGeometry(1920, 1080, 1920, 540, 1.0f).effectiveScale(), 0.5);
}

TEST(scaleGeometry, keepsAScaleThatFitsAsTheFloatPassed) {
    const scaleGeometry geometry(1920, 1080, 1923, 1083, 0.1f);
    EXPECT_EQ(geometry.displayWidth(), 1920);
    EXPECT_EQ(geometry.displayHeight(), 1080);
    EXPECT_EQ(geometry.effectiveScale(), static_cast<double>(0.1f));
    EXPECT_EQ(geometry.scaledWidth(), 192);  // 1920 × 0.1f is a hair above 192
    EXPECT_EQ(geometry.scaledHeight(), 108);
    EXPECT_EQ(geometry.horizontalRemainder(), 1920 - 192);
    EXPECT_EQ(geometry.xLimit(), 1919.0 - 1.0 / static_cast<double>(0.1f));
    EXPECT_EQ(scaleGeometry(1920, 1080, 1920, 1080, 0.75f).scaledHeight(), 808);
}

TEST(scaleGeometry, drawingAreaWithoutWidthTakesATenth) {
    const scaleGeometry geometry(1920, 1080, 0, 600, 1.0f);
    EXPECT_EQ(geometry.displayWidth(), 0);
    EXPECT_EQ(geometry.widthRatio(), 0.0);
    EXPECT_EQ(geometry.effectiveScale(), 0.1);
    EXPECT_EQ(geometry.scaledWidth(), 192);
    // 0 − 192 would wrap as an unsigned count; no column is left over.
    EXPECT_EQ(geometry.horizontalRemainder(), 0);
    // Without height as well, the scale drops to 0 and nothing is drawn.
    const scaleGeometry empty(1920, 1080, 3, 0, 1.0f);
    EXPECT_EQ(empty.effectiveScale(), 0.0);
    EXPECT_EQ(empty.xLimit(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(frameScaler(empty).drawnHeight(), 0);
}

TEST(scaleGeometry, unusableInputsGiveAFiniteGeometry) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    for (const float scale : {0.0f, -1.0f, nan, infinity}) {
        const scaleGeometry geometry(640, 480, 1280, 960, scale);
        EXPECT_EQ(geometry.effectiveScale(), 1.0) << scale;
        EXPECT_TRUE(geometry.copiesRows());
    }
    const scaleGeometry negative(640, 480, -8, -1, 1.0f);
    EXPECT_EQ(negative.displayWidth(), 0);
    EXPECT_EQ(negative.displayHeight(), 0);
    // Before the first stream there is no frame size; the next stream's size replaces it.
    const scaleGeometry noFrame(0, 0, 962, 600, 2.0f);
    EXPECT_EQ(noFrame.effectiveScale(), 2.0);
    EXPECT_EQ(noFrame.scaledWidth(), 0);
    const scaleGeometry streaming = noFrame.forFrame(1920, 1080);
    EXPECT_EQ(streaming.displayWidth(), 960);
    EXPECT_EQ(streaming.requestedScale(), 2.0);
    EXPECT_EQ(streaming.effectiveScale(), 0.5);
}

TEST(frameScaler, copiesRowsAtScaleOne) {
    std::mt19937 random(1);
    const scaleGeometry geometry(5, 3, 10, 4, 1.0f);  // display 8 × 4
    const bytes source = sourceFor(geometry, random);
    const bytes before = randomBytes(displayBytes(geometry), random);
    const bytes after = fastPicture(geometry, true, source, before);
    for (std::size_t y = 0; y < 4; ++y) {
        for (std::size_t x = 0; x < 8 * 3; ++x) {
            const std::size_t at = y * 8 * 3 + x;
            EXPECT_EQ(after[at], y < 3 && x < 5 * 3 ? source[y * 5 * 3 + x] : before[at]) << at;
        }
    }
}

TEST(frameScaler, halfScaleTakesEverySecondPixel) {
    std::mt19937 random(2);
    const scaleGeometry geometry(1920, 1080, 960, 600, 2.0f);
    const bytes source = sourceFor(geometry, random);
    frameScaler scaler(geometry);
    // The limits stop one step before the last source pixel: 959 × 539 are drawn.
    EXPECT_EQ(scaler.drawnWidth(), 959);
    EXPECT_EQ(scaler.drawnHeight(), 539);
    bytes display(displayBytes(geometry));
    ASSERT_TRUE(scaler.scale(source.data(), source.size(), display.data(), display.size()));
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{958, 0}, std::pair{17, 538}}) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(display[(y * 960 + x) * 3 + c], source[(2 * y * 1920 + 2 * x) * 3 + c]);
        }
    }
}

// Frame 66 × 66 into 64 × 64: the step is exactly 1.03125, so output pixel (1, 2) has fx = 1/32
// and fy = 1/16 and weights 232.5, 7.5, 15.5 and 0.5 before rounding: 233, 8, 16, 1.
TEST(frameScaler, roundsHalfWeightsUpAndLimitsTo255) {
    const scaleGeometry geometry(66, 66, 64, 64, 1.0f);
    ASSERT_EQ(1.0 / geometry.effectiveScale(), 1.03125);
    bytes source(66 * 66 * 3, 0);
    const uint8_t neighbours[4][3] = {{10, 200, 255}, {20, 100, 255}, {30, 50, 255}, {40, 0, 255}};
    for (int n = 0; n < 4; ++n) {
        const std::size_t pixel = (2 + n / 2) * 66 + 1 + n % 2;  // (1, 2), (2, 2), (1, 3), (2, 3)
        std::copy(neighbours[n], neighbours[n] + 3, source.begin() + pixel * 3);
    }
    const std::size_t at = (2 * 64 + 1) * 3;
    for (const bool vectorized : {true, false}) {
        const bytes display = fastPicture(geometry, vectorized, source, bytes(64 * 64 * 3));
        EXPECT_EQ(display[at], (233 * 10 + 8 * 20 + 16 * 30 + 1 * 40) >> 8);
        EXPECT_EQ(display[at + 1], (233 * 200 + 8 * 100 + 16 * 50) >> 8);
        EXPECT_EQ(display[at + 2], 255);  // 258 × 255 >> 8 is 256
    }
    EXPECT_EQ(referencePicture(geometry, source, bytes(64 * 64 * 3))[at + 2], 255);
}

TEST(frameScaler, refusesBuffersSmallerThanTheGeometry) {
    std::mt19937 random(3);
    const scaleGeometry geometry(64, 48, 40, 40, 0.5f);
    const bytes source = sourceFor(geometry, random);
    bytes display(displayBytes(geometry), 7);
    frameScaler scaler(geometry);
    EXPECT_FALSE(scaler.scale(source.data(), source.size() - 1, display.data(), display.size()));
    EXPECT_FALSE(scaler.scale(source.data(), source.size(), display.data(), display.size() - 1));
    EXPECT_FALSE(frameScaler::scaleReference(geometry, source.data(), source.size() - 1,
                                             display.data(), display.size()));
    EXPECT_EQ(display, bytes(displayBytes(geometry), 7));
}

// Geometries of every kind: odd and tiny frames and drawing areas, down and up scaling, 1.0,
// scales too large for the area, the exact halves and quarters and values near them.
scaleGeometry randomGeometry(std::mt19937& random) {
    auto upTo = [&random](int most) { return static_cast<int>(random() % (most + 1)); };
    const auto frameWidth = static_cast<uint16_t>(1 + upTo(upTo(3) == 0 ? 400 : 40));
    const auto frameHeight = static_cast<uint16_t>(1 + upTo(upTo(3) == 0 ? 300 : 40));
    const float fixedScales[] = {1.0f, 0.5f, 0.25f, 2.0f, 4.0f, 0.4999f, 0.50001f, 1.0001f, 100.0f};
    std::uniform_real_distribution<float> anyScale(0.02f, 5.0f);
    const float scale = upTo(2) == 0 ? fixedScales[upTo(8)] : anyScale(random);
    return scaleGeometry(frameWidth, frameHeight, upTo(upTo(4) == 0 ? 12 : 500),
                         upTo(upTo(4) == 0 ? 12 : 400), scale);
}

// A random geometry with a random picture and display contents.
struct scalingCase {
    explicit scalingCase(std::mt19937& random)
        : geometry(randomGeometry(random)),
          source(sourceFor(geometry, random)),
          display(randomBytes(displayBytes(geometry), random)) {}

    scaleGeometry geometry;
    bytes source;
    bytes display;
};

TEST(frameScaler, matchesThePlainScalerBitForBit) {
    std::mt19937 random(4);
    for (int round = 0; round < 400; ++round) {
        const auto [geometry, source, display] = scalingCase(random);
        const bytes expected = referencePicture(geometry, source, display);
        SCOPED_TRACE(testing::Message()
                     << "frame " << geometry.frameWidth() << "x" << geometry.frameHeight()
                     << ", display " << geometry.displayWidth() << "x" << geometry.displayHeight()
                     << ", scale " << geometry.effectiveScale());
        EXPECT_TRUE(fastPicture(geometry, true, source, display) == expected);
        EXPECT_TRUE(fastPicture(geometry, false, source, display) == expected);
    }
}

// Half size picks pixels; 1280 x 720 and 1000 x 700 have a few distinct row weights, kept per
// geometry; 1108 x 624 has hundreds, computed per frame.
TEST(frameScaler, scalesFullHdFramesLikeThePlainScaler) {
    std::mt19937 random(5);
    for (const auto& [width, height] :
         {std::pair{960, 540}, std::pair{1280, 720}, std::pair{1000, 700}, std::pair{1108, 624},
          std::pair{2560, 1440}}) {
        const scaleGeometry geometry(1920, 1080, width, height, 10.0f);
        const bytes source = sourceFor(geometry, random);
        const bytes display(displayBytes(geometry));
        const bytes expected = referencePicture(geometry, source, display);
        EXPECT_TRUE(fastPicture(geometry, true, source, display) == expected)
            << width << "x" << height;
        EXPECT_TRUE(fastPicture(geometry, false, source, display) == expected)
            << width << "x" << height;
    }
}

// Painting the display once with a pattern and once with its inverse shows which bytes were
// written: exactly the drawn block, the same for both scalers; the rest keeps its contents.
TEST(frameScaler, writesOnlyTheDrawnBlock) {
    std::mt19937 random(6);
    for (int round = 0; round < 150; ++round) {
        const auto [geometry, source, paint] = scalingCase(random);
        bytes inverse(paint);
        for (auto& value : inverse) {
            value = static_cast<uint8_t>(~value);
        }
        const frameScaler scaler(geometry);
        const bytes first = fastPicture(geometry, true, source, paint);
        const bytes second = fastPicture(geometry, true, source, inverse);
        const std::size_t rowBytes = static_cast<std::size_t>(geometry.displayWidth()) * 3;
        for (std::size_t at = 0; at < paint.size(); ++at) {
            const bool drawn = at / rowBytes < static_cast<std::size_t>(scaler.drawnHeight()) &&
                               at % rowBytes < std::size_t{3} * scaler.drawnWidth();
            ASSERT_EQ(first[at] == second[at], drawn) << "byte " << at << " in round " << round;
            ASSERT_TRUE(drawn || first[at] == paint[at]);
        }
    }
}

}  // namespace
}  // namespace dravix
