#include "emu/emulatedCameraSet.h"
#include "emu/emulatedVideoFormat.h"
#include "emu/emulatedVideoSchedule.h"
#include "emu/testPattern.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace dravix::emu {
namespace {

using namespace std::chrono_literals;
using bytes = std::vector<uint8_t>;
using clock = std::chrono::steady_clock;

// Long enough for a wrongly delivered frame to show up: several periods at 60 fps.
constexpr auto kQuietTime = 150ms;
constexpr auto kPatience = 5s;

bytes rendered(uint32_t frameNumber, uint16_t width, uint16_t height) {
    bytes frame(std::size_t{width} * height * 2);
    testPattern::render(frameNumber, width, height, frame.data());
    return frame;
}

bytes rowOf(const bytes& frame, uint16_t width, uint16_t row) {
    auto begin = frame.begin() + std::size_t{row} * width * 2;
    return bytes(begin, begin + width * 2);
}

std::vector<std::string> fields(const std::string& path) {
    std::vector<std::string> parts{""};
    for (char c : path) {
        if (c == '#') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

// Keeps every buffer it receives. `hook` runs on the streaming thread before a buffer is kept,
// so that a test that has seen the buffer has seen the hook's effects too.
class recordingSink : public platform::frameSink {
  public:
    void onFrame(const uint8_t* data, std::size_t length) override {
        EXPECT_FALSE(closed) << "onFrame after the stream was stopped";
        if (hook) {
            hook(count() + 1);
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            frames_.emplace_back(data, data + length);
        }
        arrived_.notify_all();
    }

    bool waitForCount(std::size_t count, std::chrono::milliseconds timeout = kPatience) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_for(lock, timeout, [&] { return frames_.size() >= count; });
    }
    // True when no frame beyond those seen so far arrives during kQuietTime.
    bool staysQuiet() { return !waitForCount(count() + 1, kQuietTime); }
    // The same, but for a frame that was being delivered when the stream was told to end.
    bool endsWithinAFrame() { return !waitForCount(count() + 2, kQuietTime); }
    std::size_t count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return frames_.size();
    }
    std::vector<bytes> frames() {
        std::lock_guard<std::mutex> lock(mutex_);
        return frames_;
    }

    // Set after stop() returned: a later onFrame() fails the test.
    std::atomic<bool> closed{false};
    // Set before run(); its argument counts the buffers received, this one included.
    std::function<void(std::size_t)> hook;

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<bytes> frames_;
};

// A set of emulated cameras of its own, at 320x240@60. Tests declare their sinks before their
// captures: a sink must outlive the stream that feeds it.
class emulatedVideoTest : public ::testing::Test {
  protected:
    static constexpr emulatedVideoFormat kFormat{320, 240, 60};

    std::unique_ptr<platform::videoCapture> bind(int number, int* error = nullptr) {
        int result = 1;
        auto capture = cameras.videoBackend().bind(cameras.camera(number)->videoPath(), result);
        if (capture) {
            EXPECT_EQ(result, 0);
        }
        if (error != nullptr) {
            *error = result;
        }
        return capture;
    }
    // A bound and connected capture of camera `number`.
    std::unique_ptr<platform::videoCapture> connected(int number = 1) {
        auto capture = bind(number);
        EXPECT_NE(capture, nullptr);
        if (capture) {
            EXPECT_EQ(capture->requestYuy2(), 0);
            EXPECT_EQ(capture->connect(), 0);
        }
        return capture;
    }

    emulatedCameraSet cameras{2, kFormat};
    std::shared_ptr<emulatedCamera> camera = cameras.camera(1);
};

TEST(emulatedVideoFormat, parsesWidthHeightAndRateOrFallsBackToTheDefault) {
    const emulatedVideoFormat fallback{1920, 1080, 30};
    EXPECT_EQ(emulatedVideoFormat::parse(nullptr), fallback);
    EXPECT_EQ(emulatedVideoFormat::parse("1280x720@60"), (emulatedVideoFormat{1280, 720, 60}));
    EXPECT_EQ(emulatedVideoFormat::parse("2x2@1"), (emulatedVideoFormat{2, 2, 1}));
    EXPECT_EQ(emulatedVideoFormat::parse("4096x4096@240"), (emulatedVideoFormat{4096, 4096, 240}));
    for (const char* bad :
         {"", "1280x720", "1280x720@", "x720@30", "1280x@30", "1281x720@30", "1280x721@30",
          "0x720@30", "4098x720@30", "1280x720@0", "1280x720@241", "1280x720@30 ", " 1280x720@30",
          "-1280x720@30", "1280*720@30", "65538x720@30", "1280x720@30fps", "99999999999x2@1"}) {
        EXPECT_EQ(emulatedVideoFormat::parse(bad), fallback) << bad;
    }
}

TEST(emulatedVideoFormat, setTakesTheFormatFromTheEnvironmentWhenCreated) {
    ASSERT_EQ(setenv("DRAVIX_CAMEMU_FORMAT", "640x480@15", 1), 0);
    emulatedCameraSet fromEnvironment(2);
    ASSERT_EQ(setenv("DRAVIX_CAMEMU_FORMAT", "bad", 1), 0);
    emulatedCameraSet fromBadValue(1);
    unsetenv("DRAVIX_CAMEMU_FORMAT");

    EXPECT_EQ(fromEnvironment.camera(2)->videoFormat(), (emulatedVideoFormat{640, 480, 15}));
    // Cameras made later by the same set keep the format read at its creation.
    fromEnvironment.configure(1);
    EXPECT_EQ(fromEnvironment.camera(1)->videoFormat(), (emulatedVideoFormat{640, 480, 15}));
    EXPECT_EQ(fromBadValue.camera(1)->videoFormat(), (emulatedVideoFormat{1920, 1080, 30}));
}

TEST(testPattern, frameNumberSurvivesTheRoundTrip) {
    for (uint32_t number : {0u, 1u, 2u, 255u, 0x12345678u, 0x80000000u, 0xFFFFFFFFu}) {
        bytes frame = rendered(number, 640, 16);
        EXPECT_EQ(testPattern::frameNumberOf(frame.data(), 640), number);
        EXPECT_EQ(testPattern::frameNumberOf(frame.data() + 7 * 640 * 2, 640), number);
    }
    // Narrower than 32 blocks: the low bits that fit.
    bytes narrow = rendered(0x12345678u, 64, 4);
    EXPECT_EQ(testPattern::frameNumberOf(narrow.data(), 64), 0x78u);
}

TEST(testPattern, pixelsFollowTheLayout) {
    constexpr uint16_t width = 320;
    constexpr uint16_t height = 40;  // 8 counter rows, bars on rows 8..31, gradient on 32..39
    EXPECT_EQ(testPattern::counterRows(height), 8);
    EXPECT_EQ(testPattern::gradientTop(height), 32);
    bytes frame = rendered(0b101, width, height);
    auto at = [&](std::size_t row, std::size_t x) { return &frame[(row * width + x) * 2]; };

    // Counter: bit 0 (one) in pixels 0..7, bit 1 (zero) in 8..15, black from pixel 256 on.
    EXPECT_EQ(bytes(at(3, 6), at(3, 10)), (bytes{235, 128, 235, 128, 16, 128, 16, 128}));
    EXPECT_EQ(*at(0, 16), 235);
    EXPECT_EQ(*at(7, 300), 16);

    // Bars: 160 pairs, 20 a bar; frame 5 shows at pair p the bar of pair p + 5.
    auto bar = [&](int row, int pair) { return bytes(at(row, 2 * pair), at(row, 2 * pair + 2)); };
    EXPECT_EQ(bar(8, 0), (bytes{180, 128, 180, 128}));
    EXPECT_EQ(bar(31, 14), (bytes{180, 128, 180, 128}));
    EXPECT_EQ(bar(31, 15), (bytes{162, 44, 162, 142}));    // pair 20: yellow
    EXPECT_EQ(bar(20, 154), (bytes{16, 128, 16, 128}));    // pair 159: black
    EXPECT_EQ(bar(20, 155), (bytes{180, 128, 180, 128}));  // wraps to pair 0

    // Gradient: from 16 at the left edge to 235 at the right one, neutral chroma.
    EXPECT_EQ(bytes(at(32, 0), at(32, 2)), (bytes{16, 128, 16, 128}));
    EXPECT_EQ(*at(39, 160), 16 + 160 * 219 / 319);
    EXPECT_EQ(*at(39, 319), 235);
    EXPECT_EQ(rowOf(rendered(0, width, height), width, 35), rowOf(frame, width, 35));
}

TEST(testPattern, barsMoveOnePairPerFrameAndWrap) {
    constexpr uint16_t width = 64;  // 32 pairs
    bytes first = rowOf(rendered(0, width, 20), width, 10);
    bytes next = rowOf(rendered(1, width, 20), width, 10);
    EXPECT_EQ(bytes(first.begin() + 4, first.end()), bytes(next.begin(), next.end() - 4));
    EXPECT_EQ(rowOf(rendered(32, width, 20), width, 10), first);
}

TEST(testPattern, incrementalFramesMatchFullRenderingUprightAndUpsideDown) {
    for (auto [width, height] : {std::pair{320, 240}, std::pair{2, 2}, std::pair{6, 10}}) {
        auto w = static_cast<uint16_t>(width);
        auto h = static_cast<uint16_t>(height);
        testPattern upright(w, h);
        testPattern flipped(w, h, true);
        for (uint32_t number : {7u, 8u, 1000u}) {
            bytes expected = rendered(number, w, h);
            EXPECT_EQ(upright.frame(number), expected);
            const bytes& mirrored = flipped.frame(number);
            for (uint16_t row = 0; row < h; ++row) {
                ASSERT_EQ(rowOf(mirrored, w, row), rowOf(expected, w, h - 1 - row))
                    << width << "x" << height << " row " << row;
            }
        }
    }
}

TEST(emulatedVideoSchedule, keepsTheRateWithoutDriftOrBursts) {
    const auto start = clock::now();
    emulatedVideoSchedule schedule(start, 60);
    EXPECT_EQ(schedule.due(0), start);
    EXPECT_EQ(schedule.due(60), start + 1s);
    EXPECT_EQ(schedule.due(60 * 3600 * 24), start + 24h);
    EXPECT_EQ(schedule.due(1) - start, std::chrono::nanoseconds(16'666'666));

    // On time, or less than a period late: the next frame.
    EXPECT_EQ(schedule.next(0, start), 1u);
    EXPECT_EQ(schedule.next(5, schedule.due(6) - 1ns), 6u);
    // Far behind: the latest frame due, once, then the schedule again.
    EXPECT_EQ(schedule.next(5, schedule.due(20) + 1ms), 20u);
    EXPECT_EQ(schedule.next(20, schedule.due(20) + 1ms), 21u);
    EXPECT_EQ(schedule.next(0, start - 1s), 1u);
}

TEST_F(emulatedVideoTest, listsPluggedCamerasWithUniqueKeys) {
    cameras.configure(3);
    auto found = cameras.videoBackend().enumerate();
    ASSERT_EQ(found.size(), 3u);
    std::set<std::string> keys;
    for (std::size_t i = 0; i < found.size(); ++i) {
        std::string number = std::to_string(i + 1);
        EXPECT_EQ(found[i].friendlyName, "dravixUVC Emulated Camera " + number);
        auto parts = fields(found[i].devicePath);
        ASSERT_GE(parts.size(), 3u) << found[i].devicePath;
        EXPECT_LE(parts[2].size(), 16u);
        EXPECT_EQ(parts.back(), number);
        keys.insert(parts[2].substr(0, 16));
    }

    // A replaced camera is a new device to the host.
    cameras.configure(3);
    emulatedCameraSet other(10);
    for (const auto& camera : cameras.cameras()) {
        keys.insert(camera->videoKey().substr(0, 16));
    }
    for (const auto& camera : other.cameras()) {
        keys.insert(camera->videoKey().substr(0, 16));
    }
    EXPECT_EQ(keys.size(), 16u);

    cameras.camera(2)->unplug();
    found = cameras.videoBackend().enumerate();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[1].friendlyName, "dravixUVC Emulated Camera 3");
    int error = 0;
    EXPECT_EQ(bind(2, &error), nullptr);
    EXPECT_EQ(error, -ENODEV);
    EXPECT_EQ(cameras.videoBackend().bind("emulated#video#EMUCAM-9-0#9", error), nullptr);
    EXPECT_EQ(error, -ENOENT);

    cameras.camera(2)->replug();
    EXPECT_EQ(cameras.videoBackend().enumerate().at(1).devicePath, cameras.camera(2)->videoPath());
    EXPECT_NE(bind(2), nullptr);
}

TEST_F(emulatedVideoTest, oneCaptureAtATimeConnects) {
    recordingSink sink;
    auto first = bind(1);
    auto second = bind(1);
    uint16_t width = 0;
    uint16_t height = 0;
    EXPECT_EQ(first->connectedFormat(width, height), -EINVAL);
    EXPECT_EQ(first->run(sink), -EINVAL);

    EXPECT_EQ(first->connect(), 0);
    EXPECT_EQ(second->connect(), -EBUSY);
    EXPECT_EQ(bind(2)->connect(), 0);  // another camera is another device
    EXPECT_EQ(first->connectedFormat(width, height), 0);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);

    first.reset();
    EXPECT_EQ(second->connect(), 0);
}

TEST_F(emulatedVideoTest, deliversThePatternAtTheSetRate) {
    recordingSink sink;
    auto capture = connected();
    const auto started = clock::now();
    ASSERT_EQ(capture->run(sink), 0);
    ASSERT_TRUE(sink.waitForCount(30));
    const auto elapsed = clock::now() - started;
    EXPECT_EQ(capture->stop(), 0);

    // Frame 29 is due 29/60 s after the start and never earlier; the upper bound is loose.
    EXPECT_GE(elapsed, std::chrono::microseconds(483'333));
    EXPECT_LT(elapsed, 3s);
    auto frames = sink.frames();
    EXPECT_EQ(camera->framesDelivered(), frames.size());
    uint32_t last = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        ASSERT_EQ(frames[i].size(), 320u * 240 * 2);
        uint32_t number = testPattern::frameNumberOf(frames[i].data(), 320);
        EXPECT_TRUE(i == 0 ? number == 0 : number > last) << "frame " << i;
        EXPECT_EQ(frames[i], rendered(number, 320, 240)) << "frame " << i;
        last = number;
    }
}

TEST_F(emulatedVideoTest, stopJoinsTheStreamingThread) {
    recordingSink sink;
    recordingSink again;
    auto capture = connected();
    // Armed once the test thread leaves the capture alone: its calls come from one thread at a
    // time.
    std::atomic<bool> armed{false};
    int stopFromSink = 0;
    sink.hook = [&](std::size_t) {
        if (armed.exchange(false)) {
            stopFromSink = capture->stop();
        }
    };
    EXPECT_EQ(capture->stop(), 0);  // not running: nothing to do
    ASSERT_EQ(capture->run(sink), 0);
    EXPECT_EQ(capture->run(sink), -EBUSY);
    EXPECT_EQ(capture->connect(), -EBUSY);
    armed = true;
    ASSERT_TRUE(sink.waitForCount(3));
    ASSERT_FALSE(armed);
    EXPECT_EQ(capture->stop(), 0);
    sink.closed = true;
    EXPECT_EQ(stopFromSink, -EDEADLK);
    EXPECT_TRUE(sink.staysQuiet());
    EXPECT_EQ(capture->stop(), 0);
    EXPECT_FALSE(camera->deliverBuffer({1, 2, 3}));

    // A new run starts a new schedule; destroying the capture stops it too.
    ASSERT_EQ(capture->run(again), 0);
    ASSERT_TRUE(again.waitForCount(2));
    capture.reset();
    again.closed = true;
    EXPECT_EQ(testPattern::frameNumberOf(again.frames().front().data(), 320), 0u);
    EXPECT_TRUE(again.staysQuiet());
}

TEST_F(emulatedVideoTest, unplugEndsTheStreamAndTheHandle) {
    recordingSink sink;
    recordingSink freshSink;
    recordingSink otherSink;
    auto capture = connected();
    ASSERT_EQ(capture->run(sink), 0);
    ASSERT_TRUE(sink.waitForCount(2));
    camera->unplug();
    EXPECT_TRUE(sink.endsWithinAFrame());
    EXPECT_FALSE(camera->deliverBuffer({1}));
    EXPECT_EQ(capture->stop(), 0);
    EXPECT_EQ(capture->requestYuy2(), -ENODEV);
    EXPECT_EQ(capture->connect(), -ENODEV);
    EXPECT_EQ(capture->run(sink), -ENODEV);

    // Back again: the old handle stays dead, a new one gets the device.
    camera->replug();
    EXPECT_EQ(capture->connect(), -ENODEV);
    auto fresh = connected();
    // Unplugged from within the sink: the stream ends after the frame being delivered.
    freshSink.hook = [&](std::size_t count) {
        if (count == 2) {
            camera->unplug();
        }
    };
    ASSERT_EQ(fresh->run(freshSink), 0);
    ASSERT_TRUE(freshSink.waitForCount(2));
    EXPECT_TRUE(freshSink.staysQuiet());

    // A camera replaced with its set is unplugged too.
    auto other = connected(2);
    ASSERT_EQ(other->run(otherSink), 0);
    ASSERT_TRUE(otherSink.waitForCount(1));
    cameras.configure(2);
    EXPECT_TRUE(otherSink.endsWithinAFrame());
    EXPECT_EQ(other->run(otherSink), -ENODEV);
}

TEST_F(emulatedVideoTest, pausedStreamDeliversOnlyInjectedBuffers) {
    recordingSink sink;
    auto capture = connected();
    ASSERT_EQ(capture->run(sink), 0);
    ASSERT_TRUE(sink.waitForCount(2));
    camera->pauseFrames(true);
    EXPECT_TRUE(sink.endsWithinAFrame());

    std::size_t before = sink.count();
    ASSERT_TRUE(camera->deliverBuffer({9, 8, 7}));
    ASSERT_TRUE(sink.waitForCount(before + 1));
    EXPECT_EQ(sink.frames().back(), (bytes{9, 8, 7}));

    // The camera kept counting while paused.
    uint32_t lastBeforePause = testPattern::frameNumberOf(sink.frames()[before - 1].data(), 320);
    camera->pauseFrames(false);
    ASSERT_TRUE(sink.waitForCount(before + 2));
    EXPECT_GT(testPattern::frameNumberOf(sink.frames()[before + 1].data(), 320),
              lastBeforePause + 5);
}

TEST_F(emulatedVideoTest, injectedBuffersOfAnyLengthArriveInOrder) {
    recordingSink sink;
    auto capture = connected();
    ASSERT_EQ(capture->run(sink), 0);
    ASSERT_TRUE(sink.waitForCount(1));
    const std::vector<bytes> injected{{}, {1}, {2, 3, 4}, bytes(320 * 240 * 2 + 1, 5), {6, 7}};
    for (const auto& buffer : injected) {
        ASSERT_TRUE(camera->deliverBuffer(buffer));
    }
    ASSERT_TRUE(sink.waitForCount(injected.size() + 3));
    EXPECT_EQ(capture->stop(), 0);

    // Injected buffers are told from pattern frames by their lengths; the first frame came before.
    auto frames = sink.frames();
    std::vector<bytes> seen;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        if (frames[i].size() != 320u * 240 * 2) {
            seen.push_back(frames[i]);
        }
    }
    EXPECT_EQ(frames[0].size(), 320u * 240 * 2);
    EXPECT_EQ(seen, injected);
    EXPECT_EQ(camera->framesDelivered(), frames.size());
}

TEST_F(emulatedVideoTest, verticalFlipTurnsTheFramesUpsideDown) {
    camera->setVerticalFlip(true);
    recordingSink sink;
    auto capture = connected();
    std::atomic<std::size_t> uprightFrom{0};
    sink.hook = [&](std::size_t count) {
        if (count == 2) {
            camera->setVerticalFlip(false);
            uprightFrom = 3;
        }
    };
    ASSERT_EQ(capture->run(sink), 0);
    ASSERT_TRUE(sink.waitForCount(4));
    EXPECT_EQ(capture->stop(), 0);

    auto frames = sink.frames();
    const bytes& flipped = frames[0];
    uint32_t number = testPattern::frameNumberOf(flipped.data() + 239 * 320 * 2, 320);
    bytes upright = rendered(number, 320, 240);
    for (uint16_t row = 0; row < 240; ++row) {
        ASSERT_EQ(rowOf(flipped, 320, row), rowOf(upright, 320, 239 - row)) << "row " << row;
    }
    const bytes& later = frames[uprightFrom - 1];
    EXPECT_EQ(later, rendered(testPattern::frameNumberOf(later.data(), 320), 320, 240));
}

TEST_F(emulatedVideoTest, newFormatTakesEffectAtTheNextConnect) {
    EXPECT_THROW(camera->setVideoFormat(321, 240, 60), std::invalid_argument);
    EXPECT_THROW(camera->setVideoFormat(320, 240, 0), std::invalid_argument);
    recordingSink sink;
    recordingSink small;
    auto capture = connected();
    ASSERT_EQ(capture->run(sink), 0);
    camera->setVideoFormat(64, 32, 120);
    EXPECT_EQ(camera->videoFormat(), (emulatedVideoFormat{64, 32, 120}));
    ASSERT_TRUE(sink.waitForCount(2));
    EXPECT_EQ(sink.frames()[1].size(), 320u * 240 * 2);
    EXPECT_EQ(capture->stop(), 0);

    uint16_t width = 0;
    uint16_t height = 0;
    EXPECT_EQ(capture->connect(), 0);
    EXPECT_EQ(capture->connectedFormat(width, height), 0);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 32);
    ASSERT_EQ(capture->run(small), 0);
    ASSERT_TRUE(small.waitForCount(1));
    EXPECT_EQ(small.frames()[0], rendered(0, 64, 32));
}

}  // namespace
}  // namespace dravix::emu
