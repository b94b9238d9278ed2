// The JPEG encoder: the fast raw-data input against the library's own scanline input, byte for
// byte, and the files read back.
#include "video/jpegEncoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "decodedJpeg.h"
#include "video/jpegPlanes.h"

namespace dravix {
namespace {

struct frameSize {
    int width;
    int height;
};

// Every format the viewer knows, and small odd ones: partial blocks, partial MCUs, one MCU
// narrower than a block pair, an odd height.
const frameSize kSizes[] = {
    {1920, 1080}, {1280, 720}, {1296, 726}, {656, 486}, {400, 400}, {400, 396},
    {250, 250},   {208, 204},  {208, 200},  {204, 200}, {208, 196}, {200, 200},
    {200, 196},   {196, 192},  {2, 2},      {18, 14},   {34, 3},
};
const int kQualities[] = {1, 50, 80, 95, 100};

// Noise on every byte (so that every rounding case of the chroma average occurs), over a smooth
// gradient (so that the file is not only noise).
std::vector<uint8_t> testFrame(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> frame(static_cast<std::size_t>(width) * height * 2);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        const int gradient =
            static_cast<int>((i / 2) % static_cast<std::size_t>(width)) * 200 / width;
        frame[i] = static_cast<uint8_t>(gradient + static_cast<int>(random() % 56));
    }
    return frame;
}

std::vector<uint8_t> viaScanlines(const std::vector<uint8_t>& frame, int width, int height,
                                  int quality) {
    std::vector<uint8_t> ycbcr(static_cast<std::size_t>(width) * height * 3);
    jpegEncoder::yuy2ToYcbcr(frame.data(), ycbcr.data(), static_cast<std::size_t>(width) * height);
    jpegEncoder encoder;
    EXPECT_TRUE(encoder.encodeScanlines(ycbcr.data(), width, height, quality)) << encoder.error();
    return {encoder.data(), encoder.data() + encoder.size()};
}

TEST(jpegEncoderTest, rawDataInputGivesTheScanlineInputsBytes) {
    jpegEncoder fast;  // one encoder and one set of planes for all, as a stream keeps them
    jpegPlanes planes;
    unsigned seed = 1;
    for (const frameSize& size : kSizes) {
        const std::vector<uint8_t> frame = testFrame(size.width, size.height, seed++);
        planes.build(frame.data(), size.width, size.height);
        for (int quality : kQualities) {
            ASSERT_TRUE(fast.encodePlanes(planes, quality)) << fast.error();
            const std::vector<uint8_t> expected =
                viaScanlines(frame, size.width, size.height, quality);
            const std::vector<uint8_t> actual(fast.data(), fast.data() + fast.size());
            EXPECT_TRUE(actual == expected)
                << size.width << "x" << size.height << " quality " << quality << ": "
                << actual.size() << " bytes against " << expected.size();
        }
    }
}

TEST(jpegEncoderTest, fileReadsBackAsBaselineJfif420CloseToTheFrame) {
    const int width = 250;
    const int height = 250;
    std::vector<uint8_t> frame(static_cast<std::size_t>(width) * height * 2);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &frame[(static_cast<std::size_t>(y) * width + x) * 2];
            p[0] = static_cast<uint8_t>(16 + (x + y) * 219 / (width + height));
            p[1] = static_cast<uint8_t>((x % 2 == 0 ? 64 : 192) + y / 8);  // U, then V
        }
    }
    jpegPlanes planes;
    planes.build(frame.data(), width, height);
    jpegEncoder encoder;
    ASSERT_TRUE(encoder.encodePlanes(planes, 95));
    ASSERT_GT(encoder.size(), 4u);
    EXPECT_EQ(encoder.data()[0], 0xFF);
    EXPECT_EQ(encoder.data()[1], 0xD8);
    // A baseline frame header (SOF0), no other.
    int sof0 = 0;
    int otherSof = 0;
    for (std::size_t i = 0; i + 1 < encoder.size(); ++i) {
        if (encoder.data()[i] == 0xFF) {
            sof0 += encoder.data()[i + 1] == 0xC0;
            otherSof += encoder.data()[i + 1] >= 0xC1 && encoder.data()[i + 1] <= 0xC3;
        }
    }
    EXPECT_EQ(sof0, 1);
    EXPECT_EQ(otherSof, 0);

    const decodedJpeg decoded = decodedJpeg::of(encoder.data(), encoder.size());
    EXPECT_EQ(decoded.width, width);
    EXPECT_EQ(decoded.height, height);
    EXPECT_EQ(decoded.components, 3);
    EXPECT_TRUE(decoded.jfif);
    EXPECT_FALSE(decoded.progressive);
    EXPECT_EQ(decoded.sampling[0][0], 2);
    EXPECT_EQ(decoded.sampling[0][1], 2);
    EXPECT_EQ(decoded.sampling[1][0], 1);
    EXPECT_EQ(decoded.sampling[2][1], 1);
    long error = 0;
    for (std::size_t pixel = 0; pixel < static_cast<std::size_t>(width) * height; ++pixel) {
        const uint8_t* source = &frame[pixel * 2];
        const uint8_t* pair = &frame[(pixel & ~std::size_t{1}) * 2];
        const uint8_t* back = &decoded.ycbcr[pixel * 3];
        error += std::abs(back[0] - source[0]) + std::abs(back[1] - pair[1]) +
                 std::abs(back[2] - pair[3]);
    }
    EXPECT_LT(static_cast<double>(error) / (width * height * 3), 2.0) << "mean error per sample";
}

// An error of the library returns with its text instead of ending the process, and the encoder
// works again afterwards.
TEST(jpegEncoderTest, libraryErrorFailsTheEncodeOnly) {
    jpegEncoder encoder;
    const std::vector<uint8_t> ycbcr(18 * 14 * 3, 128);
    EXPECT_FALSE(encoder.encodeScanlines(ycbcr.data(), 0, 14, 80));
    EXPECT_NE(encoder.error().find("Empty JPEG image"), std::string::npos) << encoder.error();
    EXPECT_EQ(encoder.size(), 0u);
    EXPECT_TRUE(encoder.encodeScanlines(ycbcr.data(), 18, 14, 80)) << encoder.error();
    EXPECT_GT(encoder.size(), 0u);
}

}  // namespace
}  // namespace dravix
