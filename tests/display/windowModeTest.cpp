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

constexpr int kAreaWidth = 104;
constexpr int kAreaHeight = 100;
constexpr float kAreaScale = 0.5f;

// A frame of the test pattern and what the window must show of it in colour mode 4 at the
// drawing area above: the plain conversion and the literal scaler.
struct patternPicture {
    std::vector<uint8_t> frame;
    std::vector<uint8_t> expected;
};

patternPicture makePatternPicture() {
    patternPicture picture;
    picture.frame.resize(std::size_t{kFrameWidth} * kFrameHeight * 2);
    emu::testPattern::render(1234, kFrameWidth, kFrameHeight, picture.frame.data());
    std::vector<uint8_t> colour(std::size_t{kFrameWidth} * kFrameHeight * 3);
    colorConverter::convertScalar(4, picture.frame.data(), colour.data(),
                                  std::size_t{kFrameWidth} * kFrameHeight);
    picture.expected.assign(std::size_t{kAreaWidth} * kAreaHeight * 3, 0);
    frameScaler::scaleReference(
        scaleGeometry(kFrameWidth, kFrameHeight, kAreaWidth, kAreaHeight, kAreaScale),
        colour.data(), colour.size(), picture.expected.data(), picture.expected.size());
    return picture;
}

// How many pixels of the drawing area the window shows differently from `expected`.
int mismatchesIn(const test::x11TestWindow& window, const std::vector<uint8_t>& expected) {
    const test::x11ImagePtr image = window.read(kAreaWidth, kAreaHeight);
    if (image == nullptr) {
        return kAreaWidth * kAreaHeight;
    }
    int mismatches = 0;
    for (int y = 0; y < kAreaHeight; ++y) {
        for (int x = 0; x < kAreaWidth; ++x) {
            const unsigned long pixel = XGetPixel(image.get(), x, y);
            const uint8_t* bgr = &expected[(std::size_t(y) * kAreaWidth + x) * 3];
            mismatches += channel(pixel, image->blue_mask) != bgr[0] ||
                          channel(pixel, image->green_mask) != bgr[1] ||
                          channel(pixel, image->red_mask) != bgr[2];
        }
    }
    return mismatches;
}

bool hasExactColours(Display* display) {
    return DefaultDepth(display, DefaultScreen(display)) >= 24;
}

TEST(windowMode, drawsTheScaledConvertedPictureOfTheNewestFrame) {
    std::unique_ptr<Display, displayCloser> display(XOpenDisplay(nullptr));
    ASSERT_NE(display, nullptr);
    if (!hasExactColours(display.get())) {
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
    ASSERT_EQ(video.setVideoScale(kAreaWidth, kAreaHeight, kAreaScale), 0);

    const patternPicture picture = makePatternPicture();
    ASSERT_NE(std::count(picture.expected.begin(), picture.expected.end(), picture.expected[0]),
              static_cast<std::ptrdiff_t>(picture.expected.size()))
        << "the expected picture has content";
    ASSERT_TRUE(cameras.camera(1)->deliverBuffer(picture.frame));
    ASSERT_TRUE(waitForShownFrames(video, 1));
    EXPECT_EQ(mismatchesIn(window, picture.expected), 0);
    EXPECT_EQ(video.stopVideo(), 0);
}

// Every start and every change of the drawing area draws into the window of the last
// initVideo, also on a running stream and after a stop.
TEST(windowMode, eachStartAndScaleChangeDrawsIntoTheWindowOfTheLastInitVideo) {
    std::unique_ptr<Display, displayCloser> display(XOpenDisplay(nullptr));
    ASSERT_NE(display, nullptr);
    if (!hasExactColours(display.get())) {
        GTEST_SKIP() << "exact colours need a 24-bit screen";
    }
    test::x11TestWindow windowA(display.get(), 200, 200);
    test::x11TestWindow windowB(display.get(), 200, 200);
    // Side by side: a window hidden under the other keeps none of what is drawn into it.
    XMoveWindow(display.get(), windowB.id(), 300, 0);
    emu::emulatedCameraSet cameras(1, {kFrameWidth, kFrameHeight, 60});
    cameras.camera(1)->pauseFrames(true);
    logger quiet;
    fx3UvcVid video(quiet, cameras.videoBackend());
    video.setMoniker(cameras.camera(1)->videoPath());
    video.setColorMode(4);
    const patternPicture picture = makePatternPicture();

    enum class action { start, startAfterScale, stopThenScaleThenStart };
    struct step {
        const char* what;
        const test::x11TestWindow* target;
        action how;
    };
    const step steps[] = {
        {"first start into A", &windowA, action::startAfterScale},
        {"start into B on the running stream", &windowB, action::start},
        {"stop, scale, start into A", &windowA, action::stopThenScaleThenStart},
        {"scale change, then start into B on the running stream", &windowB,
         action::startAfterScale},
    };
    uint32_t shown = 0;
    for (const step& s : steps) {
        SCOPED_TRACE(s.what);
        for (const test::x11TestWindow* window : {&windowA, &windowB}) {
            XClearWindow(display.get(), window->id());
        }
        XSync(display.get(), False);
        if (s.how == action::stopThenScaleThenStart) {
            ASSERT_EQ(video.stopVideo(), 0);
        }
        if (s.how != action::start) {
            ASSERT_EQ(video.setVideoScale(kAreaWidth, kAreaHeight, kAreaScale), 0);
        }
        ASSERT_EQ(video.initVideo(s.target->handle()), 0);
        ASSERT_EQ(video.startVideo(), 0);
        ASSERT_TRUE(cameras.camera(1)->deliverBuffer(picture.frame));
        ASSERT_TRUE(waitForShownFrames(video, ++shown));
        const test::x11TestWindow& other = s.target == &windowA ? windowB : windowA;
        EXPECT_EQ(mismatchesIn(*s.target, picture.expected), 0);
        EXPECT_NE(mismatchesIn(other, picture.expected), 0) << "drawn into the other window too";
    }
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
