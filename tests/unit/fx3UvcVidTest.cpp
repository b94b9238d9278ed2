// The video path with a scripted capture device: frames are pushed from the test thread, which
// plays the streaming thread, so every case is deterministic.
#include "video/fx3UvcVid.h"

#include "fileLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dravix {
namespace {

using namespace std::chrono_literals;

// A capture device whose frames come from the test.
class scriptedCapture : public platform::videoCapture {
  public:
    struct script {
        uint16_t width = 208;
        uint16_t height = 200;
        int bindError = 0;
        int requestError = 0;
        int connectError = 0;
        int formatError = 0;
        int binds = 0;
        platform::frameSink* sink = nullptr;
        int stops = 0;
    };

    explicit scriptedCapture(script& s) : script_(s) {}
    int requestYuy2() override { return script_.requestError; }
    int connect() override { return script_.connectError; }
    int connectedFormat(uint16_t& width, uint16_t& height) override {
        width = script_.width;
        height = script_.height;
        return script_.formatError;
    }
    int run(platform::frameSink& sink) override {
        script_.sink = &sink;
        return 0;
    }
    int stop() override {
        script_.sink = nullptr;
        ++script_.stops;
        return 0;
    }

  private:
    script& script_;
};

class scriptedVideo : public platform::videoBackend {
  public:
    std::vector<platform::videoDeviceInfo> enumerate() override {
        return {{"scripted", "s#s#k#0"}};
    }
    std::unique_ptr<platform::videoCapture> bind(const std::string&, int& error) override {
        error = state.bindError;
        ++state.binds;
        return error == 0 ? std::make_unique<scriptedCapture>(state) : nullptr;
    }
    scriptedCapture::script state;
};

// Frames handed to the callback, copied as the client must.
class frameCollector {
  public:
    static int callback(uint8_t* frame, int32_t length, void* user) {
        auto* self = static_cast<frameCollector*>(user);
        std::unique_lock<std::mutex> lock(self->mutex_);
        self->frames_.emplace_back(frame, frame + length);
        self->arrived_.notify_all();
        self->release_.wait(lock, [self] { return !self->holding_; });
        return 0;
    }
    // Makes the next callbacks wait inside the call until release().
    void hold() {
        std::lock_guard<std::mutex> lock(mutex_);
        holding_ = true;
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex_);
        holding_ = false;
        release_.notify_all();
    }
    bool waitForFrames(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_for(lock, 5s, [&] { return frames_.size() >= count; });
    }
    std::vector<std::vector<uint8_t>> frames() {
        std::lock_guard<std::mutex> lock(mutex_);
        return frames_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::condition_variable release_;
    bool holding_ = false;
    std::vector<std::vector<uint8_t>> frames_;
};

class fx3UvcVidTest : public ::testing::Test {
  protected:
    void SetUp() override {
        video_ = std::make_unique<fx3UvcVid>(log_, backend_);
        video_->setMoniker("s#s#k#0");
        video_->setFrameCallback(&frameCollector::callback, &collector_);
    }

    void TearDown() override {
        collector_.release();
        video_.reset();
    }

    void startCallbackMode() {
        ASSERT_EQ(video_->initVideo(nullptr), 0);
        ASSERT_EQ(video_->startVideo(), 0);
        ASSERT_NE(backend_.state.sink, nullptr);
    }

    // A frame of `length` bytes, every byte `value`, or each row filled with its row number.
    static std::vector<uint8_t> uniformFrame(std::size_t length, uint8_t value) {
        return std::vector<uint8_t>(length, value);
    }
    std::vector<uint8_t> numberedRows() const {
        const std::size_t rowLength = backend_.state.width * 2u;
        std::vector<uint8_t> frame(rowLength * backend_.state.height);
        for (std::size_t row = 0; row < backend_.state.height; ++row) {
            std::fill_n(frame.begin() + row * rowLength, rowLength, static_cast<uint8_t>(row));
        }
        return frame;
    }

    void push(const std::vector<uint8_t>& frame) {
        backend_.state.sink->onFrame(frame.data(), frame.size());
    }

    std::vector<std::string> loggedMessages() {
        video_.reset();
        return files_.messages();
    }

    test::fileLog files_{"dravix-video"};
    logger& log_ = files_.log();
    scriptedVideo backend_;
    frameCollector collector_;
    std::unique_ptr<fx3UvcVid> video_;
};

TEST_F(fx3UvcVidTest, callbackModeHandsOnEveryFrameAndCountsNoneShown) {
    startCallbackMode();
    push(uniformFrame(83200, 7));
    ASSERT_TRUE(collector_.waitForFrames(1));
    EXPECT_EQ(collector_.frames()[0], uniformFrame(83200, 7));
    EXPECT_EQ(video_->shownFrames(), 0u);
    EXPECT_EQ(video_->missedFrames(), 0u);
    EXPECT_EQ(video_->frameLength(), 83200u);
    EXPECT_EQ(video_->frameWidth(), 208);
    EXPECT_EQ(video_->frameHeight(), 200);
}

TEST_F(fx3UvcVidTest, buffersAtTheDropLimitOrBeyondTheFrameAreMissed) {
    backend_.state.width = 1920;
    backend_.state.height = 1620;  // a frame buffer of exactly 6,220,800 bytes
    startCallbackMode();
    push(uniformFrame(6220800, 1));
    push(uniformFrame(6220799, 2));
    ASSERT_TRUE(collector_.waitForFrames(1));
    EXPECT_EQ(collector_.frames()[0].size(), 6220799u);
    EXPECT_EQ(video_->missedFrames(), 1u);
    EXPECT_EQ(video_->frameLength(), 6220799u);

    video_->stopVideo();
    backend_.state.width = 208;
    backend_.state.height = 200;
    startCallbackMode();
    push(uniformFrame(83201, 3));  // longer than the negotiated frame: never written anywhere
    EXPECT_EQ(video_->missedFrames(), 2u);
    const auto messages = loggedMessages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), std::string("frame missed 0")), 2);
}

TEST_F(fx3UvcVidTest, verticalFlipDeliversTheLastRowFirst) {
    video_->setVerticalFlip(true);
    startCallbackMode();
    push(numberedRows());
    ASSERT_TRUE(collector_.waitForFrames(1));
    const auto frame = collector_.frames()[0];
    const std::size_t rowLength = 208 * 2;
    EXPECT_EQ(frame[0], 199);
    EXPECT_EQ(frame[rowLength - 1], 199);
    EXPECT_EQ(frame[199 * rowLength], 0);

    video_->setVerticalFlip(false);
    push(numberedRows());
    ASSERT_TRUE(collector_.waitForFrames(2));
    EXPECT_EQ(collector_.frames()[1], numberedRows());
}

TEST_F(fx3UvcVidTest, slowCallbackGetsTheNewestWholeFrame) {
    startCallbackMode();
    collector_.hold();
    push(uniformFrame(83200, 1));
    ASSERT_TRUE(collector_.waitForFrames(1));  // the callback now sits inside frame 1
    for (uint8_t value = 2; value <= 9; ++value) {
        push(uniformFrame(83200, value));  // arrive while the client is busy
    }
    collector_.release();
    ASSERT_TRUE(collector_.waitForFrames(2));
    const auto frames = collector_.frames();
    EXPECT_EQ(frames[0], uniformFrame(83200, 1)) << "the frame in use was not overwritten";
    EXPECT_EQ(frames.back(), uniformFrame(83200, 9)) << "only the newest frame follows";
    EXPECT_EQ(video_->missedFrames(), 0u);
}

TEST_F(fx3UvcVidTest, stopWhenNotRunningChangesNothing) {
    EXPECT_EQ(video_->stopVideo(), 0);
    startCallbackMode();
    EXPECT_EQ(video_->stopVideo(), 0);
    EXPECT_EQ(backend_.state.stops, 1);
    EXPECT_EQ(video_->stopVideo(), 0);
    EXPECT_EQ(backend_.state.stops, 1);
    EXPECT_FALSE(video_->isRunning());
}

TEST_F(fx3UvcVidTest, failedStartStepsAreLoggedAndNothingRuns) {
    video_->setMoniker("");
    video_->initVideo(nullptr);
    EXPECT_NE(video_->startVideo(), 0);
    video_->setMoniker("s#s#k#0");
    backend_.state.bindError = -ENOENT;
    EXPECT_EQ(video_->startVideo(), -ENOENT);
    backend_.state.bindError = 0;
    backend_.state.requestError = -EINVAL;
    EXPECT_EQ(video_->startVideo(), -EINVAL);
    backend_.state.requestError = 0;
    backend_.state.connectError = -EBUSY;
    EXPECT_EQ(video_->startVideo(), -EBUSY);
    EXPECT_FALSE(video_->isRunning());
    const auto messages = loggedMessages();
    for (const char* text :
         {"fx3UvcVid::startVideo moniker is NULL",
          "fx3UvcVid::startVideo bind to object (error: -2)",
          "fx3UvcVid::startVideo couldn't set media type (error: -22)",
          "fx3UvcVid::startVideo couldn't render video capture stream. The device may already be "
          "in use (error: -16)"}) {
        EXPECT_NE(std::find(messages.begin(), messages.end(), std::string(text)), messages.end())
            << text;
    }
}

TEST_F(fx3UvcVidTest, aStartThatFailedLeavesNothingBehind) {
    backend_.state.formatError = -EIO;
    video_->initVideo(nullptr);
    EXPECT_EQ(video_->startVideo(), -EIO);
    EXPECT_FALSE(video_->isRunning());
    backend_.state.formatError = 0;
    EXPECT_EQ(video_->startVideo(), 0);  // binds the device again
    EXPECT_EQ(backend_.state.binds, 2);
    EXPECT_TRUE(video_->isRunning());
}

fx3UvcVid* gStopFromCallback = nullptr;

TEST_F(fx3UvcVidTest, aFrameCallbackMayStopTheStream) {
    gStopFromCallback = video_.get();
    video_->setFrameCallback(
        [](uint8_t*, int32_t, void*) {
            gStopFromCallback->stopVideo();
            return 0;
        },
        nullptr);
    startCallbackMode();
    push(uniformFrame(83200, 1));
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (video_->isRunning() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_FALSE(video_->isRunning());
    EXPECT_EQ(backend_.state.stops, 1);
    startCallbackMode();  // and the stream starts again afterwards
    EXPECT_TRUE(video_->isRunning());
}

TEST_F(fx3UvcVidTest, clearingTheCallbackWaitsForACallInProgress) {
    startCallbackMode();
    collector_.hold();
    push(uniformFrame(83200, 1));
    ASSERT_TRUE(collector_.waitForFrames(1));  // the callback now sits inside the call
    std::atomic<bool> cleared{false};
    std::thread client([&] {
        video_->setFrameCallback(nullptr, nullptr);
        cleared = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(cleared.load()) << "returned while the old callback was still running";
    collector_.release();
    client.join();
    EXPECT_TRUE(cleared.load());
}

// Window displays that record what they draw and how many of them are open; a draw can be held
// inside the call until the test lets it go.
class scriptedDisplays {
  public:
    struct drawing {
        void* window;
        int width;
        int height;
    };

    fx3UvcVid::displayOpener opener() {
        return [this](void* window) { return std::make_unique<display>(*this, window); };
    }
    void hold() {
        std::lock_guard<std::mutex> lock(mutex_);
        holding_ = true;
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex_);
        holding_ = false;
        changed_.notify_all();
    }
    bool waitForDrawings(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 5s, [&] { return drawings_.size() >= count; });
    }
    std::vector<drawing> drawings() {
        std::lock_guard<std::mutex> lock(mutex_);
        return drawings_;
    }
    int open() {
        std::lock_guard<std::mutex> lock(mutex_);
        return open_;
    }
    // A held draw that nobody released: the test's own call never got through.
    bool heldTooLong() {
        std::lock_guard<std::mutex> lock(mutex_);
        return heldTooLong_;
    }

  private:
    class display : public platform::windowDisplay {
      public:
        display(scriptedDisplays& owner, void* window) : owner_(owner), window_(window) {
            std::lock_guard<std::mutex> lock(owner_.mutex_);
            ++owner_.open_;
        }
        ~display() override {
            std::lock_guard<std::mutex> lock(owner_.mutex_);
            --owner_.open_;
        }
        int draw(const uint8_t*, int width, int height) override {
            std::unique_lock<std::mutex> lock(owner_.mutex_);
            owner_.drawings_.push_back({window_, width, height});
            owner_.changed_.notify_all();
            // The release never comes when the test's call waits for this draw; the time-out
            // only ends such a failing test.
            if (!owner_.changed_.wait_for(lock, 10s, [this] { return !owner_.holding_; })) {
                owner_.heldTooLong_ = true;
            }
            return 0;
        }

      private:
        scriptedDisplays& owner_;
        void* const window_;
    };

    std::mutex mutex_;
    std::condition_variable changed_;
    bool holding_ = false;
    bool heldTooLong_ = false;
    int open_ = 0;
    std::vector<drawing> drawings_;
};

void* windowHandle(uintptr_t id) {
    return reinterpret_cast<void*>(id);
}

class fx3UvcVidWindowTest : public fx3UvcVidTest {
  protected:
    void SetUp() override {
        video_ = std::make_unique<fx3UvcVid>(log_, backend_, displays_.opener());
        video_->setMoniker("s#s#k#0");
        video_->setFrameCallback(&frameCollector::callback, &collector_);
    }
    void TearDown() override {
        displays_.release();
        fx3UvcVidTest::TearDown();
    }

    scriptedDisplays displays_;
};

// A frame that takes longer to draw than the frame interval must not hold the client's scale
// change: the display below sits in its draw until the change has returned.
TEST_F(fx3UvcVidWindowTest, aDrawInProgressKeepsNoScaleChangeWaiting) {
    ASSERT_EQ(video_->initVideo(windowHandle(1)), 0);
    ASSERT_EQ(video_->startVideo(), 0);
    ASSERT_EQ(video_->setVideoScale(104, 100, 0.5f), 0);
    displays_.hold();
    push(uniformFrame(83200, 1));
    ASSERT_TRUE(displays_.waitForDrawings(1));
    EXPECT_EQ(video_->setVideoScale(210, 202, 1.0f), 0);  // returns while the draw is held
    displays_.release();
    EXPECT_FALSE(displays_.heldTooLong()) << "the scale change waited for the draw";

    push(uniformFrame(83200, 2));
    ASSERT_TRUE(displays_.waitForDrawings(2));
    const auto drawings = displays_.drawings();
    EXPECT_EQ(drawings[0].width, 104);
    EXPECT_EQ(drawings[1].width, 208);
    EXPECT_EQ(drawings[1].height, 200);
}

// Each start and scale change opens the display of the last initVideo's window and lets the
// previous one go, so exactly one stays open.
TEST_F(fx3UvcVidWindowTest, eachStartAndScaleChangeTakesTheWindowOfTheLastInitVideo) {
    struct step {
        const char* what;
        uintptr_t window;
        bool stopFirst;
        bool scaleFirst;
    };
    const step steps[] = {
        {"first start", 1, false, true},
        {"start into another window while running", 2, false, false},
        {"stop, scale, start into the first window", 1, true, true},
        {"scale, then start into the second window", 2, false, true},
    };
    std::size_t drawn = 0;
    for (const step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.stopFirst) {
            ASSERT_EQ(video_->stopVideo(), 0);
            EXPECT_EQ(displays_.open(), 0) << "a stopped stream keeps a display";
        }
        if (s.scaleFirst) {
            ASSERT_EQ(video_->setVideoScale(104, 100, 0.5f), 0);
        }
        ASSERT_EQ(video_->initVideo(windowHandle(s.window)), 0);
        ASSERT_EQ(video_->startVideo(), 0);
        push(uniformFrame(83200, 1));
        ASSERT_TRUE(displays_.waitForDrawings(++drawn));
        EXPECT_EQ(displays_.drawings().back().window, windowHandle(s.window));
        EXPECT_EQ(displays_.open(), 1);
    }
    ASSERT_EQ(video_->initVideo(nullptr), 0);
    ASSERT_EQ(video_->startVideo(), 0);  // callback mode needs no display
    push(uniformFrame(83200, 1));
    ASSERT_TRUE(collector_.waitForFrames(1));
    EXPECT_EQ(displays_.open(), 0);
}

}  // namespace
}  // namespace dravix
