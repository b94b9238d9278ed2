#include "video/colorConverter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace dravix {
namespace {

using isa = colorConverter::isa;
using bytes = std::vector<uint8_t>;

constexpr int32_t kModes[] = {1, 2, 4, 5, 6, 8, 0, 3, 7, 99, -1};

std::vector<isa> vectorPaths() {
    std::vector<isa> paths;
    for (isa path : {isa::ssse3, isa::avx2}) {
        if (colorConverter::available(path)) {
            paths.push_back(path);
        }
    }
    return paths;
}

bytes randomBytes(std::size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    bytes data(count);
    for (uint8_t& b : data) {
        b = static_cast<uint8_t>(random());
    }
    return data;
}

bytes convertedWith(isa path, int32_t mode, const bytes& yuy2) {
    bytes out(yuy2.size() / 2 * 3);
    colorConverter::convertWith(path, mode, yuy2.data(), out.data(), yuy2.size() / 2);
    return out;
}

// Every (Y, U, V) for one U: for each V, 256 pairs whose first Y counts up and second Y counts
// down, so both pixels of a pair take every Y value.
constexpr std::size_t kPairsPerU = 256 * 256;

void fillForU(int u, bytes& yuy2) {
    uint8_t* p = yuy2.data();
    for (int v = 0; v < 256; ++v) {
        for (int y = 0; y < 256; ++y, p += 4) {
            p[0] = static_cast<uint8_t>(y);
            p[1] = static_cast<uint8_t>(u);
            p[2] = static_cast<uint8_t>(255 - y);
            p[3] = static_cast<uint8_t>(v);
        }
    }
}

std::string firstDifference(const bytes& yuy2, const bytes& expected, const bytes& actual) {
    std::size_t i = 0;
    while (expected[i] == actual[i]) {
        ++i;
    }
    const std::size_t pixel = i / 3;
    const uint8_t* pair = &yuy2[pixel / 2 * 4];
    return "Y " + std::to_string(pair[pixel % 2 * 2]) + " U " + std::to_string(pair[1]) + " V " +
           std::to_string(pair[3]) + ", byte " + std::to_string(i % 3) + ": " +
           std::to_string(expected[i]) + " expected, " + std::to_string(actual[i]) + " got";
}

class colorConverterEveryInput : public testing::TestWithParam<int32_t> {};

TEST_P(colorConverterEveryInput, vectorPathsMatchTheFormulas) {
    const int32_t mode = GetParam();
    const std::size_t pixels = kPairsPerU * 2;
    bytes yuy2(pixels * 2);
    bytes expected(pixels * 3);
    bytes actual(pixels * 3);
    for (int u = 0; u < 256; ++u) {
        fillForU(u, yuy2);
        colorConverter::convertScalar(mode, yuy2.data(), expected.data(), pixels);
        for (isa path : vectorPaths()) {
            colorConverter::convertWith(path, mode, yuy2.data(), actual.data(), pixels);
            ASSERT_EQ(std::memcmp(expected.data(), actual.data(), expected.size()), 0)
                << colorConverter::name(path) << ", " << firstDifference(yuy2, expected, actual);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(modes, colorConverterEveryInput, testing::ValuesIn(kModes),
                         [](const testing::TestParamInfo<int32_t>& info) {
                             return (info.param < 0 ? "minus" : "mode") +
                                    std::to_string(info.param < 0 ? -info.param : info.param);
                         });

struct knownPixel {
    int32_t mode;
    uint8_t y, u, v;
    uint8_t first, second, third;  // bytes as stored
};

// Worked out by hand from the formulas; the clamped ones note the unclamped value.
constexpr knownPixel kKnownPixels[] = {
    {1, 77, 3, 250, 77, 77, 77},
    {2, 16, 0, 255, 0, 0, 0},
    {2, 235, 128, 128, 254, 254, 254},
    {2, 0, 128, 128, 0, 0, 0},          // −19
    {2, 255, 128, 128, 255, 255, 255},  // 278
    {4, 128, 128, 128, 130, 130, 130},
    {4, 81, 90, 240, 0, 24, 255},  // blue −5, red 275
    {8, 81, 90, 240, 255, 24, 0},
    {5, 100, 200, 50, 227, 131, 0},  // red −10: (5742·−78) >> 12 is −110, not −109
    {6, 200, 128, 128, 214, 214, 214},
    {6, 255, 255, 255, 255, 125, 255},  // blue 533, red 480
    {0, 60, 30, 220, 0, 36, 204},       // blue −122
    {3, 60, 30, 220, 0, 36, 204},
    {7, 60, 30, 220, 0, 36, 204},
    {99, 60, 30, 220, 0, 36, 204},
};

TEST(colorConverterFormulas, giveTheWorkedOutPixelsOnEveryPath) {
    constexpr std::size_t kPairs = 41;  // vector blocks and a scalar tail
    for (const knownPixel& k : kKnownPixels) {
        bytes yuy2;
        for (std::size_t i = 0; i < kPairs; ++i) {
            yuy2.insert(yuy2.end(), {k.y, k.u, k.y, k.v});
        }
        for (isa path : {isa::scalar, isa::ssse3, isa::avx2}) {
            const bytes out = convertedWith(path, k.mode, yuy2);
            for (std::size_t i = 0; i < out.size(); i += 3) {
                ASSERT_EQ(bytes(out.begin() + i, out.begin() + i + 3),
                          (bytes{k.first, k.second, k.third}))
                    << "mode " << k.mode << " Y " << int{k.y} << " U " << int{k.u} << " V "
                    << int{k.v} << " pixel " << i / 3 << " " << colorConverter::name(path);
            }
        }
    }
}

TEST(colorConverterFormulas, greyIsYAndModeEightIsModeFourWithRedAndBlueSwapped) {
    const bytes yuy2 = randomBytes(2 * 1000, 7);
    const bytes grey = convertedWith(isa::scalar, 1, yuy2);
    const bytes mode4 = convertedWith(isa::scalar, 4, yuy2);
    const bytes mode8 = convertedWith(isa::scalar, 8, yuy2);
    for (std::size_t p = 0; p < yuy2.size() / 2; ++p) {
        const uint8_t y = yuy2[p * 2];
        EXPECT_EQ(bytes(grey.begin() + p * 3, grey.begin() + p * 3 + 3), (bytes{y, y, y}));
        EXPECT_EQ(mode8[p * 3], mode4[p * 3 + 2]);
        EXPECT_EQ(mode8[p * 3 + 1], mode4[p * 3 + 1]);
        EXPECT_EQ(mode8[p * 3 + 2], mode4[p * 3]);
    }
}

// Buffers end exactly where the data ends, so that the address sanitizer sees any access past
// them; the data starts at every offset from 0 to 31.
TEST(colorConverterBuffers, everyLengthAndAlignmentMatchesScalarAndStaysInside) {
    constexpr uint8_t kGuard = 0xa5;
    const bytes source = randomBytes(2 * 100, 11);
    for (int32_t mode : kModes) {
        for (std::size_t pixels = 0; pixels <= 100; ++pixels) {
            const std::size_t inShift = pixels % 32;
            const std::size_t outShift = pixels * 7 % 32;
            bytes in(inShift + pixels * 2);
            std::copy(source.begin(), source.begin() + pixels * 2, in.begin() + inShift);
            bytes expected(pixels * 3);
            colorConverter::convertScalar(mode, in.data() + inShift, expected.data(), pixels);
            for (isa path : vectorPaths()) {
                bytes out(outShift + pixels * 3, kGuard);
                colorConverter::convertWith(path, mode, in.data() + inShift, out.data() + outShift,
                                            pixels);
                EXPECT_EQ(bytes(out.begin() + outShift, out.end()), expected)
                    << "mode " << mode << ", " << pixels << " pixels, "
                    << colorConverter::name(path);
                EXPECT_EQ(bytes(out.begin(), out.begin() + outShift), bytes(outShift, kGuard));
            }
        }
    }
}

TEST(colorConverterBuffers, oddCountConvertsTheLastPixelWithNeutralV) {
    constexpr std::size_t kPixels = 65;  // vector blocks, then a pair lacking Y1 and V
    const bytes yuy2 = randomBytes(kPixels * 2, 5);
    const uint8_t y = yuy2[kPixels * 2 - 2];
    const uint8_t u = yuy2[kPixels * 2 - 1];
    for (int32_t mode : kModes) {
        const bytes neutral = convertedWith(isa::scalar, mode, {y, u, y, 128});
        for (isa path : {isa::scalar, isa::ssse3, isa::avx2}) {
            const bytes out = convertedWith(path, mode, yuy2);
            EXPECT_EQ(bytes(out.end() - 3, out.end()), bytes(neutral.begin(), neutral.begin() + 3))
                << "mode " << mode << " " << colorConverter::name(path);
        }
    }
}

TEST(colorConverterBuffers, nullBuffersAreIgnored) {
    bytes out(6, 1);
    const bytes yuy2(4, 1);
    colorConverter::convert(4, nullptr, out.data(), 2);
    colorConverter::convert(4, yuy2.data(), nullptr, 2);
    colorConverter::convertScalar(4, nullptr, out.data(), 2);
    EXPECT_EQ(out, bytes(6, 1));
}

TEST(colorConverterDispatch, usesTheFastestPathThisCpuRuns) {
    EXPECT_TRUE(colorConverter::available(isa::scalar));
    EXPECT_FALSE(colorConverter::available(static_cast<isa>(7)));
    const isa active = colorConverter::activeIsa();
    EXPECT_TRUE(colorConverter::available(active));
    EXPECT_STREQ(colorConverter::activePath(), colorConverter::name(active));
    if (colorConverter::available(isa::avx2)) {
        EXPECT_EQ(active, isa::avx2);
    }
    const bytes yuy2 = randomBytes(2 * 333, 3);
    bytes out(333 * 3);
    colorConverter::convert(6, yuy2.data(), out.data(), 333);
    EXPECT_EQ(out, convertedWith(active, 6, yuy2));
#if defined(__x86_64__)
    EXPECT_EQ(colorConverter::available(isa::avx2), __builtin_cpu_supports("avx2") != 0);
#endif
}

}  // namespace
}  // namespace dravix
