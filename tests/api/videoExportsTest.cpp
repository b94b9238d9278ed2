// The video exports on a camera whose video path streams from an emulated camera.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

#include "dravix/dravix.h"
#include "emu/emulatedCamera.h"
#include "emu/testPattern.h"
#include "installedCamera.h"
#include "tempHome.h"

namespace {

using namespace std::chrono_literals;

// Frame numbers (from the test pattern) and lengths of the frames handed to the callback.
class deliveries {
  public:
    static int callback(uint8_t* frame, int32_t length, void* user) {
        auto* self = static_cast<deliveries*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->numbers_.push_back(dravix::emu::testPattern::frameNumberOf(frame, self->width_));
        self->lengths_.push_back(length);
        self->arrived_.notify_all();
        return 0;
    }
    explicit deliveries(uint16_t width) : width_(width) {}
    bool waitFor(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_for(lock, 5s, [&] { return numbers_.size() >= count; });
    }
    std::vector<uint32_t> numbers() {
        std::lock_guard<std::mutex> lock(mutex_);
        return numbers_;
    }
    std::vector<int32_t> lengths() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lengths_;
    }

  private:
    uint16_t width_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<uint32_t> numbers_;
    std::vector<int32_t> lengths_;
};

class videoExportsTest : public ::testing::Test {
  protected:
    void startCamera(uint16_t width, uint16_t height) {
        char version[20];
        ZEL_CAM_GetApiVersion(version);
        installed_.emplace(width, height, 60);
        camera_ = &installed_->camera();
    }

    void TearDown() override { installed_.reset(); }

    tempHome home_;
    std::optional<installedCamera> installed_;
    dravix::camera* camera_ = nullptr;
};

TEST_F(videoExportsTest, callbackModeDeliversTheStreamAndCountsIt) {
    startCamera(208, 200);
    deliveries seen(208);
    ASSERT_EQ(ZEL_CAM_FrameCallback(0, &deliveries::callback, &seen), 0);
    ASSERT_EQ(camera_->video().initVideo(nullptr), 0);
    ASSERT_EQ(camera_->video().startVideo(), 0);
    ASSERT_TRUE(seen.waitFor(3));

    const auto numbers = seen.numbers();
    for (std::size_t i = 1; i < numbers.size(); ++i) {
        EXPECT_GT(numbers[i], numbers[i - 1]) << "frames arrive in order";
    }
    EXPECT_EQ(seen.lengths()[0], 83200);
    uint32_t shown = 99;
    uint32_t missed = 99;
    uint32_t length = 0;
    ASSERT_EQ(ZEL_CAM_GetFrameCounters(0, &shown, &missed, &length), 0);
    EXPECT_EQ(shown, 0u);
    EXPECT_EQ(missed, 0u);
    EXPECT_EQ(length, 83200u);
    EXPECT_EQ(ZEL_CAM_GetFrameCounters(0, nullptr, &missed, &length), 1);

    // A null callback switches frame calls off at once.
    ASSERT_EQ(ZEL_CAM_FrameCallback(0, nullptr, nullptr), 0);
    const std::size_t before = seen.numbers().size();
    std::this_thread::sleep_for(100ms);
    EXPECT_LE(seen.numbers().size(), before + 1);  // at most the frame being handed on
    EXPECT_EQ(camera_->video().stopVideo(), 0);
}

TEST_F(videoExportsTest, drawingAreaAndScale) {
    startCamera(1920, 1080);
    installed_->cameras().camera(1)->pauseFrames(true);
    ASSERT_EQ(camera_->video().initVideo(nullptr), 0);
    ASSERT_EQ(camera_->video().startVideo(), 0);

    ASSERT_EQ(ZEL_CAM_SetVideoScale(0, 960, 600, 2.0f), 0);
    dravix::scaleGeometry geometry = camera_->video().geometry();
    EXPECT_DOUBLE_EQ(geometry.widthRatio(), 0.5);
    EXPECT_NEAR(geometry.heightRatio(), 0.5555555, 1e-6);
    EXPECT_DOUBLE_EQ(geometry.effectiveScale(), 0.5);
    EXPECT_EQ(geometry.scaledWidth(), 960);
    EXPECT_EQ(geometry.scaledHeight(), 540);
    EXPECT_EQ(geometry.horizontalRemainder(), 0);

    ASSERT_EQ(ZEL_CAM_SetVideoScale(0, 0, 600, 1.0f), 0);
    geometry = camera_->video().geometry();
    EXPECT_EQ(geometry.displayWidth(), 0);
    EXPECT_DOUBLE_EQ(geometry.effectiveScale(), 0.1);

    EXPECT_EQ(ZEL_CAM_SetVideoScale(0, -4, 600, 1.0f), 1);
    EXPECT_EQ(ZEL_CAM_SetVideoScale(0, 960, 600, 0.0f), 1);
    EXPECT_EQ(ZEL_CAM_SetVideoScale(0, 960, 600, -1.0f), 1);
    EXPECT_EQ(ZEL_CAM_SetVideoScale(10, 960, 600, 1.0f), 1);
    // No screen shows more than 8192 pixels a side; a larger area is refused, not allocated.
    EXPECT_EQ(ZEL_CAM_SetVideoScale(0, 8192, 4, 1.0f), 0);
    EXPECT_EQ(ZEL_CAM_SetVideoScale(0, 4, 8192, 1.0f), 0);
    EXPECT_EQ(ZEL_CAM_SetVideoScale(0, 8193, 4, 1.0f), 1);
    EXPECT_EQ(ZEL_CAM_SetVideoScale(0, 4, 8193, 1.0f), 1);
    EXPECT_EQ(ZEL_CAM_SetVideoScale(0, 16384, 16384, 1.0f), 1);
    EXPECT_EQ(camera_->video().geometry().displayHeight(), 8192);
    EXPECT_EQ(camera_->video().stopVideo(), 0);
}

TEST_F(videoExportsTest, colourModeIsStoredAndOutOfRangeIndicesAreEmptySlots) {
    startCamera(208, 200);
    EXPECT_EQ(ZEL_CAM_setColorMode(0, 8), 0);
    EXPECT_EQ(camera_->video().colorMode(), 8);
    EXPECT_EQ(ZEL_CAM_setColorMode(12, 1), 1);
    EXPECT_EQ(ZEL_CAM_FrameCallback(-1, nullptr, nullptr), 1);
    EXPECT_EQ(ZEL_CAM_setColorMode(1, 1), 1);
    EXPECT_EQ(ZEL_CAM_getLogTotalErrorCnt(), 3u);
}

}  // namespace
