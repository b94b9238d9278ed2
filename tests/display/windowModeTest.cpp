// The video path in window mode, end to end: a frame of the emulated camera's test pattern is
// converted, scaled and drawn into a real X window, and the window's pixels are read back.
// gtest first: Xlib's macros (None, Bool, ...) clash with its names.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "emu/testPattern.h"
#include "video/colorConverter.h"
#include "video/frameScaler.h"
#include "video/fx3UvcVid.h"
#include "video/scaleGeometry.h"
#include "x11TestWindow.h"

namespace dravix {
namespace {

using namespace std::chrono_literals;

constexpr uint16_t kFrameWidth = 208;
constexpr uint16_t kFrameHeight = 200;

struct displayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

// One colour channel of an X pixel, as 8 bits.
uint8_t channel(unsigned long pixel, unsigned long mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return static_cast<uint8_t>((pixel >> shift) & mask);
}

bool waitForShownFrames(const fx3UvcVid& video, uint32_t count) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (video.shownFrames() < count) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

TEST(windowMode, drawsTheScaledConvertedPictureOfTheNewestFrame) {
    std::unique_ptr<Display, displayCloser> display(XOpenDisplay(nullptr));
    ASSERT_NE(display, nullptr);
    if (DefaultDepth(display.get(), DefaultScreen(display.get())) < 24) {
        GTEST_SKIP() << "exact colours need a 24-bit screen";
    }
    test::x11TestWindow window(display.get(), 200, 200);

    emu::emulatedCameraSet cameras(1, {kFrameWidth, kFrameHeight, 60});
    cameras.camera(1)->pauseFrames(true);  // only the frame below is delivered
    logger quiet;
    fx3UvcVid video(quiet, cameras.videoBackend());
    video.setMoniker(cameras.camera(1)->videoPath());
    video.setColorMode(4);
    ASSERT_EQ(video.initVideo(window.handle()), 0);
    ASSERT_EQ(video.startVideo(), 0);
    ASSERT_EQ(video.setVideoScale(104, 100, 0.5f), 0);

    std::vector<uint8_t> frame(std::size_t{kFrameWidth} * kFrameHeight * 2);
    emu::testPattern::render(1234, kFrameWidth, kFrameHeight, frame.data());
    ASSERT_TRUE(cameras.camera(1)->deliverBuffer(frame));
    ASSERT_TRUE(waitForShownFrames(video, 1));

    // What the window must show: the plain conversion and the literal scaler.
    std::vector<uint8_t> colour(std::size_t{kFrameWidth} * kFrameHeight * 3);
    colorConverter::convertScalar(4, frame.data(), colour.data(),
                                  std::size_t{kFrameWidth} * kFrameHeight);
    std::vector<uint8_t> expected(104 * 100 * 3, 0);
    ASSERT_TRUE(frameScaler::scaleReference(
        scaleGeometry(kFrameWidth, kFrameHeight, 104, 100, 0.5f), colour.data(), colour.size(),
        expected.data(), expected.size()));
    ASSERT_NE(std::count(expected.begin(), expected.end(), expected[0]),
              static_cast<std::ptrdiff_t>(expected.size()))
        << "the expected picture has content";
    const test::x11ImagePtr image = window.read(104, 100);
    ASSERT_NE(image, nullptr);
    int mismatches = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 104; ++x) {
            const unsigned long pixel = XGetPixel(image.get(), x, y);
            const uint8_t* bgr = &expected[(std::size_t(y) * 104 + x) * 3];
            mismatches += channel(pixel, image->blue_mask) != bgr[0] ||
                          channel(pixel, image->green_mask) != bgr[1] ||
                          channel(pixel, image->red_mask) != bgr[2];
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(video.stopVideo(), 0);
}

TEST(windowMode, drawsNothingBeforeTheClientSetsADrawingArea) {
    std::unique_ptr<Display, displayCloser> display(XOpenDisplay(nullptr));
    ASSERT_NE(display, nullptr);
    test::x11TestWindow window(display.get(), 64, 64);
    emu::emulatedCameraSet cameras(1, {kFrameWidth, kFrameHeight, 60});
    cameras.camera(1)->pauseFrames(true);
    logger quiet;
    fx3UvcVid video(quiet, cameras.videoBackend());
    video.setMoniker(cameras.camera(1)->videoPath());
    ASSERT_EQ(video.initVideo(window.handle()), 0);
    ASSERT_EQ(video.startVideo(), 0);
    ASSERT_TRUE(cameras.camera(1)->deliverBuffer(
        std::vector<uint8_t>(std::size_t{kFrameWidth} * kFrameHeight * 2, 0x80)));
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (video.frameLength() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_EQ(video.frameLength(), uint32_t{kFrameWidth} * kFrameHeight * 2);
    EXPECT_EQ(video.stopVideo(), 0);
    EXPECT_EQ(video.shownFrames(), 0u);
}

}  // namespace
}  // namespace dravix
