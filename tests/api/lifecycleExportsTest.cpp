// The camera lifecycle through the exports, against the process's emulated cameras: finding
// cameras, opening them with and without their HID interface, streaming, the status callback,
// unplugging and replugging, destroying.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camera/camera.h"
#include "camera/libraryState.h"
#include "camera/videoDeviceList.h"
#include "dravix/dravix.h"
#include "dsp/cameraDsp.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "emu/testPattern.h"
#include "eventually.h"
#include "log/logger.h"
#include "logCapture.h"
#include "tempHome.h"

namespace {

using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

constexpr uint16_t kWidth = 160;
constexpr uint16_t kHeight = 120;
constexpr uint8_t kFlipCode = dravix::dspCode(dravix::DspFunction::HvFlip);

// What the status callback received: the counts, and whether the record was zero apart from
// the count.
class statusRecorder {
  public:
    static int callback(DeviceStatus* status, void* user) {
        auto* self = static_cast<statusRecorder*>(user);
        DeviceStatus copy = *status;
        const uint32_t count = copy.cameraCount;
        copy.cameraCount = 0;
        const DeviceStatus zero{};
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->counts_.push_back(count);
        self->zeroed_.push_back(std::memcmp(&copy, &zero, sizeof copy) == 0);
        self->changed_.notify_all();
        return 0;
    }

    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // Waits for the `nth` call (from 1); false after the time-out.
    bool waitForCall(std::size_t nth, std::chrono::milliseconds timeout = 10s) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return counts_.size() >= nth; });
    }
    // Waits for a call reporting `count` among the calls from number `from` (from 0) on; its
    // number, or kNone after the time-out. Each open of a camera has its watcher report the
    // count once, so a client's Open (open, close, open) may report twice.
    std::size_t waitForCount(uint32_t count, std::size_t from) {
        std::unique_lock<std::mutex> lock(mutex_);
        std::size_t found = kNone;
        changed_.wait_for(lock, 10s, [&] {
            for (std::size_t i = from; i < counts_.size(); ++i) {
                if (counts_[i] == count) {
                    found = i;
                    return true;
                }
            }
            return false;
        });
        return found;
    }
    std::size_t calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return counts_.size();
    }
    std::vector<uint32_t> counts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return counts_;
    }
    std::vector<bool> zeroed() {
        std::lock_guard<std::mutex> lock(mutex_);
        return zeroed_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<uint32_t> counts_;
    std::vector<bool> zeroed_;
};

// Frames handed to the frame callback, read as the test pattern either way up.
class frameRecorder {
  public:
    static int callback(uint8_t* frame, int32_t length, void* user) {
        auto* self = static_cast<frameRecorder*>(user);
        const std::size_t row = kWidth * 2u;
        std::vector<uint8_t> turned(static_cast<std::size_t>(length));
        for (std::size_t y = 0; y < kHeight; ++y) {
            std::memcpy(turned.data() + y * row, frame + (kHeight - 1 - y) * row, row);
        }
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->upright_.push_back(dravix::emu::testPattern::frameNumberOf(frame, kWidth));
        self->turned_.push_back(dravix::emu::testPattern::frameNumberOf(turned.data(), kWidth));
        self->arrived_.notify_all();
        return 0;
    }

    bool waitForFrames(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        const std::size_t target = upright_.size() + count;
        return arrived_.wait_for(lock, 10s, [&] { return upright_.size() >= target; });
    }
    std::size_t frames() {
        std::lock_guard<std::mutex> lock(mutex_);
        return upright_.size();
    }
    // True when the last `n` frames carry rising numbers read the given way up. A loaded machine
    // may drop frames, so a gap of up to a second of frames counts; a frame read the wrong way
    // up gives a number unrelated to its neighbours.
    bool consecutive(bool upsideDown, std::size_t n = 3) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto& numbers = upsideDown ? turned_ : upright_;
        if (numbers.size() < n) {
            return false;
        }
        for (std::size_t i = numbers.size() - n + 1; i < numbers.size(); ++i) {
            const uint32_t step = numbers[i] - numbers[i - 1];
            if (step == 0 || step > kMaxDroppedFrames) {
                return false;
            }
        }
        return true;
    }

  private:
    static constexpr uint32_t kMaxDroppedFrames = 60;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<uint32_t> upright_;
    std::vector<uint32_t> turned_;
};

class lifecycleExportsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char version[20];
        ZEL_CAM_GetApiVersion(version);
        ZEL_CAM_setLogCallback(&logCapture::onMessage, &log_, ZEL_CAM_LOG_ALL);
        cameras().configure(0);
    }

    void TearDown() override {
        dravix::libraryState::instance().destroyAll();
        dravix::libraryLog().close();
        cameras().configure(0);
    }

    static dravix::emu::emulatedCameraSet& cameras() {
        return dravix::emu::emulatedCameraSet::instance();
    }

    // `count` emulated cameras streaming small frames at 60 Hz.
    static void plugCameras(int count) {
        cameras().configure(count);
        for (int n = 1; n <= count; ++n) {
            cameras().camera(n)->setVideoFormat(kWidth, kHeight, 60);
        }
    }

    static dravix::camera& cameraAt(int32_t index) {
        return *dravix::libraryState::instance().cameraAt(index);
    }

    // Init and Open of the first camera; its index.
    int32_t initAndOpen() {
        int32_t index = 99;
        uint8_t count = 0;
        EXPECT_EQ(ZEL_CAM_Init(0, &index, &count), 0);
        EXPECT_EQ(ZEL_CAM_Open(index), 0);
        return index;
    }

    // Init and Open of the first camera with status_ as its status callback, once the watcher's
    // first pass has reported; its index.
    int32_t initAndOpenReporting() {
        int32_t index = 99;
        uint8_t count = 0;
        EXPECT_EQ(ZEL_CAM_Init(0, &index, &count), 0);
        EXPECT_EQ(ZEL_CAM_StatusCallback(index, &statusRecorder::callback, &status_), 0);
        EXPECT_EQ(ZEL_CAM_Open(index), 0);
        EXPECT_TRUE(status_.waitForCall(1));
        return index;
    }

    tempHome home_;
    logCapture log_;
    // Members, so that they outlive the cameras, which TearDown destroys.
    statusRecorder status_;
    frameRecorder frames_;
};

TEST_F(lifecycleExportsTest, initNameWithNothingMatchingCreatesAnEmptyCameraInSlot0) {
    plugCameras(1);
    int32_t index = 6;
    uint8_t count = 9;
    EXPECT_EQ(ZEL_CAM_InitName(15, &index, &count, "NoSuchCamera", 0x20F1, 0x0107), 0);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(count, 0);
    EXPECT_NE(dravix::libraryState::instance().cameraAt(0), nullptr);

    EXPECT_EQ(ZEL_CAM_Open(0), 1);
    EXPECT_TRUE(log_.waitFor("ERROR no camera accessible with the given index!"));
}

TEST_F(lifecycleExportsTest, initWithoutAnyVideoDeviceFailsAndUsesTheCallersIndex) {
    int32_t index = 3;
    uint8_t count = 5;
    EXPECT_EQ(ZEL_CAM_InitName(15, &index, &count, "dravix", 0x20F1, 0x0107), 1);
    EXPECT_EQ(index, 3);
    EXPECT_NE(dravix::libraryState::instance().cameraAt(3), nullptr);
    EXPECT_TRUE(log_.waitFor("ERROR you have no video capture hardware\n"));
    EXPECT_TRUE(log_.waitFor("ERROR ZEL_EU_Init: failed to initialize"));

    // An index outside the table after a failed enumeration creates no camera.
    index = 40;
    EXPECT_EQ(ZEL_CAM_InitName(15, &index, &count, "dravix", 0x20F1, 0x0107), 1);
    EXPECT_EQ(index, 40);
    EXPECT_TRUE(log_.waitFor("ERROR no device found!"));
}

TEST_F(lifecycleExportsTest, initWithEveryOpenFlagSetFindsNoSlot) {
    plugCameras(1);
    int32_t index = 0;
    uint8_t count = 0;
    ASSERT_EQ(ZEL_CAM_Init(0, &index, &count), 0);
    auto& state = dravix::libraryState::instance();
    for (std::size_t slot = 0; slot < dravix::videoDeviceList::kSlots; ++slot) {
        state.deviceList()->setOpen(slot);
    }
    state.destroyCamera(0);

    EXPECT_EQ(ZEL_CAM_InitName(15, &index, &count, "dravix", 0x20F1, 0x0107), 0);
    EXPECT_EQ(index, 255);
    EXPECT_TRUE(state.allSlotsEmpty());
    EXPECT_TRUE(log_.waitFor("ERROR no device found!"));
}

TEST_F(lifecycleExportsTest, initKeepsTheCountByteAndInitNameWritesExactlyOne) {
    plugCameras(2);
    int32_t index = 0;
    uint8_t bytes[2] = {77, 0xAB};
    EXPECT_EQ(ZEL_CAM_Init(0, &index, &bytes[0]), 0);
    EXPECT_EQ(bytes[0], 77);
    EXPECT_EQ(ZEL_CAM_InitName(15, &index, &bytes[0], "dravixUVC", 0x20F1, 0x0107), 0);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[1], 0xAB);
}

TEST_F(lifecycleExportsTest, nullArgumentsOfInitAreRefused) {
    int32_t index = 0;
    uint8_t count = 0;
    EXPECT_EQ(ZEL_CAM_Init(0, nullptr, &count), 1);
    EXPECT_EQ(ZEL_CAM_InitName(15, &index, nullptr, "dravix", 0x20F1, 0x0107), 1);
    EXPECT_EQ(ZEL_CAM_InitName(15, &index, &count, nullptr, 0x20F1, 0x0107), 1);
    EXPECT_TRUE(dravix::libraryState::instance().allSlotsEmpty());
    EXPECT_TRUE(log_.waitFor("ERROR main::ZEL_CAM_InitName: NULL POINTER", 2));
}

TEST_F(lifecycleExportsTest, aSecondMatchNameCountsAnewWhileTheWatcherKeepsTheFirst) {
    plugCameras(2);
    int32_t index = 0;
    uint8_t count = 0;
    ASSERT_EQ(ZEL_CAM_InitName(15, &index, &count, "dravixUVC", 0x20F1, 0x0107), 0);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(ZEL_CAM_Open(index), 0);
    ASSERT_EQ(ZEL_CAM_StatusCallback(index, &statusRecorder::callback, &status_), 0);

    EXPECT_EQ(ZEL_CAM_InitName(15, &index, &count, "dravixUVC Emulated Camera 2", 0x20F1, 0x0107),
              0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(dravix::libraryState::instance().deviceList()->storedMatchName(), "dravixUVC");
    // The watcher still counts by the first name: one camera left, where the second name would
    // count none.
    cameras().camera(2)->unplug();
    ASSERT_TRUE(log_.waitFor("INFO camera count changed 1"));
    EXPECT_EQ(cameraAt(0).cameraCount(), 1);
}

TEST_F(lifecycleExportsTest, openingAnOpenCameraSaysSoAndOpensItAgain) {
    plugCameras(1);
    const int32_t index = initAndOpen();
    EXPECT_EQ(ZEL_CAM_Open(index), 0);
    EXPECT_TRUE(log_.waitFor("WARN already open"));
    EXPECT_TRUE(cameraAt(index).isOpened());
    EXPECT_TRUE(cameraAt(index).isHidOpen());
    EXPECT_EQ(countOf(log_.lines(), "WARN already open"), 1u);
}

TEST_F(lifecycleExportsTest, openBeforeInitRunsInit) {
    plugCameras(1);
    EXPECT_EQ(ZEL_CAM_Open(0), 0);
    EXPECT_TRUE(log_.waitFor("WARN call ZEL_CAM_Init before ZEL_CAM_Open"));
    EXPECT_TRUE(cameraAt(0).isOpened());
}

TEST_F(lifecycleExportsTest, withoutItsHidInterfaceTheCameraOpensButCannotStart) {
    plugCameras(1);
    int32_t index = 0;
    uint8_t count = 0;
    ASSERT_EQ(ZEL_CAM_InitName(15, &index, &count, "dravix", 0x1234, 0x5678), 0);
    EXPECT_EQ(ZEL_CAM_Open(index), 0);
    EXPECT_TRUE(cameraAt(index).isOpened());
    EXPECT_FALSE(cameraAt(index).isHidOpen());

    EXPECT_EQ(ZEL_CAM_StartPic(index, 0, 0), 1);
    EXPECT_FALSE(cameraAt(index).video().isRunning());
    EXPECT_TRUE(log_.waitFor("ERROR camera::videoStartCallback failed: hr = 1"));
    EXPECT_EQ(countOf(log_.lines(), "ERROR camera::open: can't open HID interface"), 2u);
    EXPECT_EQ(ZEL_CAM_Start(index, 0, nullptr), 1);
    EXPECT_TRUE(log_.waitFor("ERROR camera::videoStart failed: hr = 1"));
}

TEST_F(lifecycleExportsTest, startPicFlipsTheStreamAsTheCameraSays) {
    plugCameras(1);
    const int32_t index = initAndOpen();
    ASSERT_EQ(ZEL_CAM_FrameCallback(index, &frameRecorder::callback, &frames_), 0);

    // Each flip byte: the camera's own picture stays upright, so a set vertical flip shows as
    // frames delivered upside down. A static key (bits 2 and 3) carries the flags two bits up.
    const std::vector<std::pair<uint8_t, bool>> cases = {
        {0x00, false}, {0x01, true}, {0x02, false}, {0x04, true}, {0x0B, false}};
    for (const auto& [flipByte, upsideDown] : cases) {
        cameras().camera(1)->dsp().setDspBlock(kFlipCode, {flipByte});
        ASSERT_EQ(ZEL_CAM_StartPic(index, 0, 0), 0);
        ASSERT_TRUE(frames_.waitForFrames(4));
        EXPECT_TRUE(frames_.consecutive(upsideDown)) << int(flipByte);
        EXPECT_EQ(ZEL_CAM_Stop(index), 0);
    }
    EXPECT_TRUE(log_.waitFor("VERBOSE DSP settings: detected static flip mirror key set", 2));
    EXPECT_EQ(ZEL_CAM_Stop(index), 0);  // not running: nothing to stop
}

TEST_F(lifecycleExportsTest, flipSettersKeepTheVideoPathInStepWithTheCamera) {
    plugCameras(1);
    const int32_t index = initAndOpen();
    ASSERT_EQ(ZEL_CAM_FrameCallback(index, &frameRecorder::callback, &frames_), 0);
    ASSERT_EQ(ZEL_CAM_StartPic(index, 0, 0), 0);

    // The camera turns its own picture and the video path turns it back.
    ASSERT_EQ(cameraAt(index).setHvFlip(1, 1), 0);
    EXPECT_EQ(cameras().camera(1)->dsp().dspBlock(kFlipCode), std::vector<uint8_t>{0x03});
    ASSERT_TRUE(frames_.waitForFrames(6));
    EXPECT_TRUE(frames_.consecutive(false));

    ASSERT_EQ(cameraAt(index).setHvFlipByte(0x02), 0);
    ASSERT_TRUE(frames_.waitForFrames(6));
    EXPECT_TRUE(frames_.consecutive(false));

    // A write the camera refuses leaves the video path as it was.
    cameras().camera(1)->setCommandHandler(dravix::cameraDsp::kCmdDspSet,
                                           [](const dravix::emu::commandPayload&) {
                                               dravix::emu::commandReply refused;
                                               refused.status = 3;
                                               return refused;
                                           });
    EXPECT_EQ(cameraAt(index).setHvFlipByte(0x01), 1);
    ASSERT_TRUE(frames_.waitForFrames(6));
    EXPECT_TRUE(frames_.consecutive(false));
}

TEST_F(lifecycleExportsTest, statusCallbackTellsTheCameraTheApplicationIsThere) {
    plugCameras(1);
    int32_t index = 0;
    uint8_t count = 0;
    ASSERT_EQ(ZEL_CAM_Init(0, &index, &count), 0);
    // Not open yet: stored without a command.
    EXPECT_EQ(ZEL_CAM_StatusCallback(index, &statusRecorder::callback, &status_), 0);
    EXPECT_TRUE(cameras().camera(1)->appStates().empty());

    // The first pass of the watcher reports the count.
    ASSERT_EQ(ZEL_CAM_Open(index), 0);
    ASSERT_TRUE(status_.waitForCall(1));
    EXPECT_EQ(status_.counts().front(), 1u);

    EXPECT_EQ(ZEL_CAM_StatusCallback(index, &statusRecorder::callback, &status_), 0);
    EXPECT_THAT(cameras().camera(1)->appStates(), ElementsAre(0));
    cameras().camera(1)->queueReplyStatus(3);
    EXPECT_EQ(ZEL_CAM_StatusCallback(index, nullptr, nullptr), 0);
    EXPECT_TRUE(log_.waitFor("ERROR camera::setAppState: HID communication\n"));

    EXPECT_EQ(ZEL_CAM_StatusCallback(12, nullptr, nullptr), 1);
    EXPECT_TRUE(log_.waitFor("ERROR main::ZEL_CAM_StatusCallback: CAMERA NOT INITIALIZED"));
}

TEST_F(lifecycleExportsTest, interruptReportsReachTheInterruptThread) {
    plugCameras(1);
    const int32_t index = initAndOpen();
    std::array<uint8_t, 60> data{};
    data[0] = 2;
    cameras().camera(1)->injectInterrupt(1, data);
    // The thread takes the report on its own time.
    EXPECT_TRUE(eventually([&] { return cameraAt(index).interruptReportsTaken() >= 1; }));
    EXPECT_EQ(ZEL_CAM_Close(index), 0);
    EXPECT_FALSE(cameraAt(index).isOpened());
    EXPECT_FALSE(cameraAt(index).isHidOpen());
}

TEST_F(lifecycleExportsTest, unplugStopsTheStreamAndReplugReopensWithoutRestarting) {
    plugCameras(1);
    const int32_t index = initAndOpenReporting();
    ASSERT_EQ(ZEL_CAM_FrameCallback(index, &frameRecorder::callback, &frames_), 0);
    ASSERT_EQ(ZEL_CAM_StartPic(index, 0, 0), 0);
    ASSERT_TRUE(frames_.waitForFrames(3));

    const std::size_t before = status_.calls();
    cameras().camera(1)->unplug();
    const std::size_t lost = status_.waitForCount(0, before);
    ASSERT_NE(lost, statusRecorder::kNone);
    EXPECT_TRUE(status_.zeroed()[lost]);
    EXPECT_TRUE(log_.waitFor("INFO camera count changed 0"));
    EXPECT_FALSE(cameraAt(index).video().isRunning());
    EXPECT_FALSE(cameraAt(index).isHidOpen());
    const std::size_t framesWhenLost = frames_.frames();

    cameras().camera(1)->replug();
    ASSERT_NE(status_.waitForCount(1, lost + 1), statusRecorder::kNone);
    EXPECT_TRUE(cameraAt(index).isOpened());
    EXPECT_TRUE(cameraAt(index).isHidOpen());
    EXPECT_FALSE(cameraAt(index).video().isRunning());
    EXPECT_EQ(frames_.frames(), framesWhenLost);

    ASSERT_EQ(ZEL_CAM_StartPic(index, 0, 0), 0);
    EXPECT_TRUE(frames_.waitForFrames(3));
}

// Several cameras, each open and streaming with its own status and frame recorders.
class multiCameraTest : public lifecycleExportsTest {
  protected:
    struct openCamera {
        int32_t index = -1;
        statusRecorder status;
        frameRecorder frames;
    };

    void TearDown() override {
        forgetCameras();
        lifecycleExportsTest::TearDown();
    }

    void forgetCameras() {
        dravix::libraryState::instance().destroyAll();
        opened_.clear();
    }

    // Plugs `count` cameras and has the exports open and stream every one, in slot order.
    void openAndStream(int count) {
        plugCameras(count);
        for (int n = 0; n < count; ++n) {
            auto& cam = *opened_.emplace_back(std::make_unique<openCamera>());
            uint8_t found = 0;
            ASSERT_EQ(ZEL_CAM_Init(0, &cam.index, &found), 0);
            ASSERT_EQ(cam.index, n);
            ASSERT_EQ(ZEL_CAM_StatusCallback(cam.index, &statusRecorder::callback, &cam.status), 0);
            ASSERT_EQ(ZEL_CAM_Open(cam.index), 0);
            ASSERT_EQ(ZEL_CAM_FrameCallback(cam.index, &frameRecorder::callback, &cam.frames), 0);
            ASSERT_EQ(ZEL_CAM_StartPic(cam.index, 0, 0), 0);
            ASSERT_TRUE(cam.frames.waitForFrames(3));
        }
    }

    // Waits until every camera's status callback reported `count`, from call `from[i]` on.
    void expectEveryCameraReports(uint32_t count, const std::vector<std::size_t>& from) {
        for (std::size_t i = 0; i < opened_.size(); ++i) {
            EXPECT_NE(opened_[i]->status.waitForCount(count, from[i]), statusRecorder::kNone)
                << "camera " << i << " count " << count;
        }
    }

    std::vector<std::size_t> callsSoFar() {
        std::vector<std::size_t> calls;
        for (auto& cam : opened_) {
            calls.push_back(cam->status.calls());
        }
        return calls;
    }

    std::vector<std::unique_ptr<openCamera>> opened_;
};

// Unplugging one camera closes that camera alone: the others keep streaming with their command
// channels, and every camera is told the count. Plugged in again, it is opened again.
TEST_F(multiCameraTest, unpluggingOneCameraLeavesTheOthersStreaming) {
    struct unplugCase {
        int cameras;
        int unplugged;  // camera number, from 1
    };
    for (const unplugCase& c : {unplugCase{2, 1}, unplugCase{2, 2}, unplugCase{3, 2}}) {
        SCOPED_TRACE(std::to_string(c.cameras) + " cameras, unplugging " +
                     std::to_string(c.unplugged));
        openAndStream(c.cameras);
        if (HasFatalFailure()) {
            return;
        }
        const auto total = static_cast<uint32_t>(c.cameras);
        openCamera& lost = *opened_[static_cast<std::size_t>(c.unplugged - 1)];

        const auto beforeUnplug = callsSoFar();
        cameras().camera(c.unplugged)->unplug();
        expectEveryCameraReports(total - 1, beforeUnplug);
        EXPECT_FALSE(cameraAt(lost.index).video().isRunning());
        EXPECT_FALSE(cameraAt(lost.index).isHidOpen());
        for (auto& cam : opened_) {
            if (cam.get() != &lost) {
                EXPECT_TRUE(cameraAt(cam->index).isHidOpen()) << cam->index;
                EXPECT_TRUE(cam->frames.waitForFrames(5)) << cam->index;
            }
        }

        const auto beforeReplug = callsSoFar();
        cameras().camera(c.unplugged)->replug();
        expectEveryCameraReports(total, beforeReplug);
        EXPECT_TRUE(eventually([&] { return cameraAt(lost.index).isHidOpen(); }));
        EXPECT_EQ(ZEL_CAM_StartPic(lost.index, 0, 0), 0);
        EXPECT_TRUE(lost.frames.waitForFrames(3));
        forgetCameras();
    }
}

// Each camera's commands reach its own device, whichever camera's interface is listed first.
TEST_F(multiCameraTest, eachCameraTalksToItsOwnDevice) {
    openAndStream(3);
    ASSERT_EQ(ZEL_CAM_StatusCallback(1, nullptr, nullptr), 0);  // tells the device: CMD_APP_STATE
    EXPECT_THAT(cameras().camera(1)->appStates(), ElementsAre());
    EXPECT_THAT(cameras().camera(2)->appStates(), ElementsAre(0));
    EXPECT_THAT(cameras().camera(3)->appStates(), ElementsAre());
    for (int number = 1; number <= 3; ++number) {
        cameras().camera(number)->startRecording();
    }
    uint8_t flip = 0;
    EXPECT_EQ(cameraAt(2).getDspFunction(kFlipCode, &flip, 1), 0);
    EXPECT_TRUE(cameras().camera(1)->recorded().empty());
    EXPECT_TRUE(cameras().camera(2)->recorded().empty());
    EXPECT_FALSE(cameras().camera(3)->recorded().empty());
}

// A returning camera may get another node; the camera and its slot follow its key there.
TEST_F(multiCameraTest, aCameraReturningOnAnotherNodeIsReopenedThere) {
    openAndStream(2);
    openCamera& second = *opened_[1];
    const std::string oldPath = cameras().camera(2)->videoPath();
    const std::size_t before = second.status.calls();
    cameras().camera(2)->unplug();
    const std::size_t lost = second.status.waitForCount(1, before);
    ASSERT_NE(lost, statusRecorder::kNone);

    cameras().camera(2)->renumberVideo();
    ASSERT_NE(cameras().camera(2)->videoPath(), oldPath);
    cameras().camera(2)->replug();
    ASSERT_NE(second.status.waitForCount(2, lost + 1), statusRecorder::kNone);
    EXPECT_TRUE(eventually([&] { return cameraAt(second.index).isHidOpen(); }));
    EXPECT_EQ(ZEL_CAM_StartPic(second.index, 0, 0), 0);
    EXPECT_TRUE(second.frames.waitForFrames(3));

    // The client's own open takes the slot's path, which is the fresh one too.
    EXPECT_EQ(ZEL_CAM_Close(second.index), 0);
    EXPECT_EQ(ZEL_CAM_Open(second.index), 0);
    EXPECT_TRUE(cameraAt(second.index).isHidOpen());
}

// The HID node of a returning camera may appear after its video node: the camera reopens
// without its command channel, opens it when it comes, and says so.
TEST_F(lifecycleExportsTest, aCommandChannelThatComesLaterIsOpenedAndReported) {
    plugCameras(1);
    const int32_t index = initAndOpenReporting();
    const std::size_t before = status_.calls();
    cameras().camera(1)->unplug();
    const std::size_t lost = status_.waitForCount(0, before);
    ASSERT_NE(lost, statusRecorder::kNone);

    cameras().camera(1)->replugVideo();
    const std::size_t back = status_.waitForCount(1, lost + 1);
    ASSERT_NE(back, statusRecorder::kNone);
    EXPECT_FALSE(cameraAt(index).isHidOpen());

    cameras().camera(1)->replug();
    ASSERT_TRUE(log_.waitFor("INFO camera::open: HID interface opened after the video device"));
    EXPECT_TRUE(cameraAt(index).isHidOpen());
    EXPECT_TRUE(status_.waitForCall(back + 2));
    EXPECT_EQ(status_.counts().back(), 1u);
    ASSERT_EQ(ZEL_CAM_FrameCallback(index, &frameRecorder::callback, &frames_), 0);
    EXPECT_EQ(ZEL_CAM_StartPic(index, 0, 0), 0);
    EXPECT_TRUE(frames_.waitForFrames(3));
}

// A camera that restarts between two passes of the watcher is still listed at every pass, but
// its command channel is dead: it is closed and opened anew, and streams again once started.
TEST_F(lifecycleExportsTest, aCameraThatRestartsBetweenTwoPassesIsOpenedAnew) {
    plugCameras(1);
    const int32_t index = initAndOpenReporting();
    ASSERT_EQ(ZEL_CAM_FrameCallback(index, &frameRecorder::callback, &frames_), 0);
    ASSERT_EQ(ZEL_CAM_StartPic(index, 0, 0), 0);
    ASSERT_TRUE(frames_.waitForFrames(3));
    cameras().camera(1)->unplug();
    cameras().camera(1)->replug();
    uint16_t hue = 0;
    EXPECT_TRUE(eventually([&] { return ZEL_CAM_getHue(index, &hue) == 0; }));
    EXPECT_TRUE(cameraAt(index).isHidOpen());
    ASSERT_EQ(ZEL_CAM_StartPic(index, 0, 0), 0);
    EXPECT_TRUE(frames_.waitForFrames(3));
}

// The watcher polls while no camera is plugged in: the log tells the start and the end of that
// time once, not once per poll.
TEST_F(lifecycleExportsTest, aTimeWithoutCamerasIsLoggedOnceAndItsEndToo) {
    plugCameras(1);
    initAndOpenReporting();
    const std::size_t before = status_.calls();
    cameras().camera(1)->unplug();
    const std::size_t lost = status_.waitForCount(0, before);
    ASSERT_NE(lost, statusRecorder::kNone);
    const uint64_t polls = cameras().videoBackend().enumerations();
    ASSERT_TRUE(eventually([&] { return cameras().videoBackend().enumerations() >= polls + 10; }));

    cameras().camera(1)->replug();
    ASSERT_NE(status_.waitForCount(1, lost + 1), statusRecorder::kNone);
    ASSERT_TRUE(log_.waitFor("INFO video capture hardware present again\n"));
    const auto lines = log_.lines();
    EXPECT_EQ(countOf(lines, "ERROR you have no video capture hardware\n"), 1u);
    EXPECT_EQ(countOf(lines, "INFO video capture hardware present again\n"), 1u);
}

TEST_F(lifecycleExportsTest, aStatusCallbackMayCloseTheCameraItReportsOn) {
    plugCameras(1);
    const int32_t index = initAndOpen();
    static std::atomic<int> closes{0};
    closes = 0;
    auto closeWhenLost = [](DeviceStatus* status, void*) -> int {
        if (status->cameraCount == 0) {
            closes += ZEL_CAM_Close(0) == 0 ? 1 : 0;
        }
        return 0;
    };
    ASSERT_EQ(ZEL_CAM_StatusCallback(index, closeWhenLost, nullptr), 0);
    cameras().camera(1)->unplug();
    ASSERT_TRUE(log_.waitFor("INFO camera count changed 0"));
    EXPECT_EQ(ZEL_CAM_Destroy(static_cast<uint8_t>(index)), 0);
    EXPECT_EQ(closes, 1);
}

TEST_F(lifecycleExportsTest, initOnTheSlotOfALostCameraReplacesIt) {
    plugCameras(1);
    const int32_t index = initAndOpen();
    ASSERT_EQ(ZEL_CAM_FrameCallback(index, &frameRecorder::callback, &frames_), 0);
    ASSERT_EQ(ZEL_CAM_StartPic(index, 0, 0), 0);
    cameras().camera(1)->unplug();
    ASSERT_TRUE(log_.waitFor("INFO camera count changed 0"));
    cameras().camera(1)->replug();

    // The watcher forgot slot 0, so Init picks it again and the lost camera goes first.
    int32_t again = 7;
    uint8_t count = 0;
    EXPECT_EQ(ZEL_CAM_Init(0, &again, &count), 0);
    EXPECT_EQ(again, 0);
    EXPECT_FALSE(cameraAt(0).isOpened());
    EXPECT_EQ(ZEL_CAM_Open(0), 0);
}

TEST_F(lifecycleExportsTest, destroyingAStreamingCameraStopsItAndEndsTheLog) {
    plugCameras(1);
    const int32_t index = initAndOpen();
    ASSERT_EQ(ZEL_CAM_FrameCallback(index, &frameRecorder::callback, &frames_), 0);
    ASSERT_EQ(ZEL_CAM_StartPic(index, 0, 0), 0);
    ASSERT_TRUE(frames_.waitForFrames(2));
    EXPECT_EQ(ZEL_CAM_Destroy(static_cast<uint8_t>(index)), 0);
    EXPECT_TRUE(dravix::libraryState::instance().allSlotsEmpty());
    EXPECT_FALSE(dravix::libraryState::instance().hasDeviceList());
    EXPECT_FALSE(dravix::libraryLog().isOpen());
    EXPECT_THAT(log_.lines(), Contains("INFO Session stopped"));
}

TEST_F(lifecycleExportsTest, destroyBeyondTheTableExaminesSlot9AndStillEndsTheLog) {
    EXPECT_EQ(ZEL_CAM_Destroy(12), 1);
    EXPECT_FALSE(dravix::libraryLog().isOpen());
    const auto lines = log_.lines();
    EXPECT_THAT(lines, Contains("ERROR main::ZEL_CAM_Destroy: DEVICE NOT FOUND"));
    EXPECT_THAT(lines, Contains("ERROR main::ZEL_CAM_Destroy: CAMERA NOT INITIALIZED"));
    EXPECT_THAT(lines, Contains("INFO Session stopped"));
}

// Callbacks that call exports of their own camera while the client or the device watcher works
// on it. A callback holds still for a moment once it is armed, so that the other side meets it
// in the middle of its call; none of these may hang, crash or corrupt a frame.
class callbackScript {
  public:
    void arm(std::function<void(uint8_t* frame, int32_t length)> action) {
        std::lock_guard<std::mutex> lock(mutex_);
        action_ = std::move(action);
        entered_ = false;
    }
    // Runs the armed action once, from the frame callback.
    static int onFrame(uint8_t* frame, int32_t length, void* user) {
        auto* self = static_cast<callbackScript*>(user);
        std::function<void(uint8_t*, int32_t)> action;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            action.swap(self->action_);
        }
        if (action) {
            action(frame, length);
        }
        return 0;
    }
    // Called by the action once it is inside the callback.
    void entered() {
        std::lock_guard<std::mutex> lock(mutex_);
        entered_ = true;
        changed_.notify_all();
    }
    bool waitUntilEntered() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 10s, [this] { return entered_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void(uint8_t*, int32_t)> action_;
    bool entered_ = false;
};

class callbackExportsTest : public lifecycleExportsTest {
  protected:
    void startStreaming() {
        plugCameras(1);
        index_ = initAndOpen();
        ASSERT_EQ(ZEL_CAM_FrameCallback(index_, &callbackScript::onFrame, &script_), 0);
        ASSERT_EQ(ZEL_CAM_StartPic(index_, 0, 0), 0);
    }
    static constexpr auto kHold = 50ms;
    int32_t index_ = 0;
    callbackScript script_;
};

TEST_F(callbackExportsTest, frameCallbackClosesWhileTheClientCloses) {
    startStreaming();
    script_.arm([this](uint8_t*, int32_t) {
        script_.entered();
        std::this_thread::sleep_for(kHold);
        EXPECT_EQ(ZEL_CAM_Close(index_), 0);
    });
    ASSERT_TRUE(script_.waitUntilEntered());
    EXPECT_EQ(ZEL_CAM_Close(index_), 0);
    EXPECT_FALSE(cameraAt(index_).isOpened());
}

TEST_F(callbackExportsTest, frameCallbackClosesWhileTheWatcherClosesTheLostCamera) {
    startStreaming();
    script_.arm([this](uint8_t*, int32_t) {
        script_.entered();
        std::this_thread::sleep_for(kHold);
        EXPECT_EQ(ZEL_CAM_Close(index_), 0);
    });
    ASSERT_TRUE(script_.waitUntilEntered());
    cameras().camera(1)->unplug();
    EXPECT_TRUE(log_.waitFor("INFO camera count changed 0"));
    EXPECT_EQ(ZEL_CAM_Destroy(static_cast<uint8_t>(index_)), 0);
}

TEST_F(callbackExportsTest, aNewStartLeavesTheFrameOfACallbackThatStoppedTheStream) {
    startStreaming();
    std::atomic<bool> intact{false};
    script_.arm([&](uint8_t* frame, int32_t length) {
        const std::vector<uint8_t> before(frame, frame + length);
        EXPECT_EQ(ZEL_CAM_Stop(index_), 0);
        script_.entered();
        std::this_thread::sleep_for(kHold);
        intact = std::memcmp(before.data(), frame, before.size()) == 0;
    });
    ASSERT_TRUE(script_.waitUntilEntered());
    ASSERT_EQ(ZEL_CAM_StartPic(index_, 0, 0), 0);  // waits for the old callback to return
    EXPECT_TRUE(intact);
    EXPECT_TRUE(cameraAt(index_).video().isRunning());
}

TEST_F(callbackExportsTest, frameCallbackStartsWhileTheClientStops) {
    startStreaming();
    std::atomic<int32_t> started{-1};
    const auto& video = cameraAt(index_).video();
    script_.arm([&](uint8_t*, int32_t) {
        script_.entered();
        // The client's stop ends the capture at once and then waits for this call to return.
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (video.isRunning() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        started = ZEL_CAM_StartPic(index_, 0, 0);
    });
    ASSERT_TRUE(script_.waitUntilEntered());
    EXPECT_EQ(ZEL_CAM_Stop(index_), 0);
    // StartPic's own result: the stream start inside it is refused while the client stops.
    EXPECT_EQ(started, 0);
    EXPECT_FALSE(cameraAt(index_).video().isRunning());
    const std::string refused =
        "ERROR fx3UvcVid::startVideo: not from a frame callback of a stopped stream";
    EXPECT_TRUE(log_.waitFor(refused));

    // Once a callback stopped its stream, it cannot start a new one from inside.
    ASSERT_EQ(ZEL_CAM_StartPic(index_, 0, 0), 0);
    script_.arm([&](uint8_t*, int32_t) {
        ZEL_CAM_Stop(index_);
        started = ZEL_CAM_StartPic(index_, 0, 0);
        script_.entered();
    });
    ASSERT_TRUE(script_.waitUntilEntered());
    EXPECT_EQ(started, 0);
    EXPECT_TRUE(log_.waitFor(refused, 2));
}

TEST_F(callbackExportsTest, startPicOnARunningStreamKeepsIt) {
    startStreaming();
    EXPECT_EQ(ZEL_CAM_StartPic(index_, 0, 0), 0);  // at once, maybe before the first frame
    ASSERT_EQ(ZEL_CAM_FrameCallback(index_, &frameRecorder::callback, &frames_), 0);
    ASSERT_TRUE(frames_.waitForFrames(3));
    EXPECT_EQ(ZEL_CAM_StartPic(index_, 0, 0), 0);  // and once frames flow
    EXPECT_TRUE(frames_.waitForFrames(3));
    EXPECT_TRUE(cameraAt(index_).video().isRunning());
}

// Runs an action given by the test on each status callback.
class statusScript {
  public:
    void arm(std::function<void(uint32_t count)> action) {
        std::lock_guard<std::mutex> lock(mutex_);
        action_ = std::move(action);
    }
    static int callback(DeviceStatus* status, void* user) {
        auto* self = static_cast<statusScript*>(user);
        std::function<void(uint32_t)> action;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            action = self->action_;
        }
        if (action) {
            action(status->cameraCount);
        }
        return 0;
    }

  private:
    std::mutex mutex_;
    std::function<void(uint32_t)> action_;
};

TEST_F(callbackExportsTest, clientClosesWhileTheStatusCallbackReopens) {
    startStreaming();
    statusScript status;
    ASSERT_EQ(ZEL_CAM_StatusCallback(index_, &statusScript::callback, &status), 0);
    cameras().camera(1)->unplug();
    ASSERT_TRUE(log_.waitFor("INFO camera count changed 0"));
    // Armed only now: the reports of the open's first passes are over.
    std::atomic<bool> once{false};
    status.arm([&](uint32_t count) {
        if (count == 1 && !once.exchange(true)) {
            script_.entered();
            std::this_thread::sleep_for(kHold);
            ZEL_CAM_Close(index_);
            ZEL_CAM_Open(index_);
        }
    });
    cameras().camera(1)->replug();
    ASSERT_TRUE(script_.waitUntilEntered());
    EXPECT_EQ(ZEL_CAM_Close(index_), 0);  // the client's close wins over the callback's open
    EXPECT_FALSE(cameraAt(index_).video().isRunning());
    status.arm(nullptr);
}

TEST_F(callbackExportsTest, frameCallbackReopensWhileTheWatcherClosesTheCamera) {
    plugCameras(2);
    index_ = initAndOpen();
    ASSERT_EQ(ZEL_CAM_FrameCallback(index_, &callbackScript::onFrame, &script_), 0);
    ASSERT_EQ(ZEL_CAM_StartPic(index_, 0, 0), 0);
    std::atomic<int32_t> opened{-1};
    script_.arm([&](uint8_t*, int32_t) {
        script_.entered();
        std::this_thread::sleep_for(kHold);
        ZEL_CAM_Close(index_);
        opened = ZEL_CAM_Open(index_);
    });
    ASSERT_TRUE(script_.waitUntilEntered());
    // Its device is gone: the watcher closes this camera and waits for the callback to return.
    cameras().camera(1)->unplug();
    ASSERT_TRUE(eventually([&] { return opened != -1; }));
    EXPECT_EQ(opened, 1);  // nothing to open any more
    EXPECT_EQ(ZEL_CAM_Destroy(static_cast<uint8_t>(index_)), 0);
}

// The stream starts only from the status callback, once the camera is back.
TEST_F(callbackExportsTest, clientClosesWhileTheStatusCallbackStartsAndTheFrameCallbackCloses) {
    plugCameras(1);
    index_ = initAndOpen();
    ASSERT_EQ(ZEL_CAM_FrameCallback(index_, &callbackScript::onFrame, &script_), 0);
    script_.arm([&](uint8_t*, int32_t) {
        std::this_thread::sleep_for(3 * kHold);
        ZEL_CAM_Close(index_);
    });
    statusScript status;
    ASSERT_EQ(ZEL_CAM_StatusCallback(index_, &statusScript::callback, &status), 0);
    cameras().camera(1)->unplug();
    ASSERT_TRUE(log_.waitFor("INFO camera count changed 0"));
    std::atomic<bool> started{false};
    status.arm([&](uint32_t count) {
        if (count == 1 && !started.exchange(true)) {
            std::this_thread::sleep_for(kHold);
            ZEL_CAM_StartPic(index_, 0, 0);
        }
    });
    cameras().camera(1)->replug();
    ASSERT_TRUE(eventually([&] { return started.load(); }));
    EXPECT_EQ(ZEL_CAM_Close(index_), 0);
    status.arm(nullptr);
}

// Closes and opens the camera from inside the status callback when it came back after its
// first loss, and counts the losses reported.
struct reopeningClient {
    std::atomic<int> losses{0};
    std::atomic<int> reopens{0};
    std::atomic<int32_t> openResult{-1};

    static int callback(DeviceStatus* status, void* user) {
        auto* self = static_cast<reopeningClient*>(user);
        if (status->cameraCount == 0) {
            ++self->losses;
        } else if (self->losses == 1 && self->reopens == 0) {
            EXPECT_EQ(ZEL_CAM_Close(0), 0);
            self->openResult = ZEL_CAM_Open(0);
            ++self->reopens;
        }
        return 0;
    }
};

TEST_F(lifecycleExportsTest, aStatusCallbackThatReopensKeepsTheCameraWatched) {
    plugCameras(1);
    const int32_t index = initAndOpenReporting();
    reopeningClient client;
    ASSERT_EQ(ZEL_CAM_StatusCallback(index, &reopeningClient::callback, &client), 0);
    cameras().camera(1)->unplug();
    ASSERT_TRUE(eventually([&] { return client.losses == 1; }));
    cameras().camera(1)->replug();
    ASSERT_TRUE(eventually([&] { return client.reopens == 1; }));
    EXPECT_EQ(client.openResult, 0);

    // The watcher still runs: the next loss is reported too.
    cameras().camera(1)->unplug();
    EXPECT_TRUE(eventually([&] { return client.losses == 2; }));
    EXPECT_FALSE(cameraAt(index).isHidOpen());
    ZEL_CAM_StatusCallback(index, nullptr, nullptr);
}

int destroyWhenLost(DeviceStatus* status, void* user) {
    if (status->cameraCount == 0) {
        *static_cast<std::atomic<int32_t>*>(user) = ZEL_CAM_Destroy(0);
    }
    return 0;
}

TEST_F(lifecycleExportsTest, aStatusCallbackCannotDestroyItsOwnCamera) {
    plugCameras(1);
    std::atomic<int32_t> destroyed{-1};
    const int32_t index = initAndOpen();
    ASSERT_EQ(ZEL_CAM_StatusCallback(index, &destroyWhenLost, &destroyed), 0);
    cameras().camera(1)->unplug();
    ASSERT_TRUE(log_.waitFor("ERROR main::ZEL_CAM_Destroy: not from a callback of the library"));
    EXPECT_EQ(destroyed, 1);
    EXPECT_NE(dravix::libraryState::instance().cameraAt(index), nullptr);
    EXPECT_EQ(ZEL_CAM_Destroy(static_cast<uint8_t>(index)), 0);
}

// A client thread reading a DSP function of `cam` over and over until stop().
class dspReader {
  public:
    explicit dspReader(dravix::camera& cam) : thread_([this, &cam] { run(cam); }) {}
    ~dspReader() { stop(); }
    // Ends the thread; the number of reads it made.
    int stop() {
        reading_ = false;
        if (thread_.joinable()) {
            thread_.join();
        }
        return reads_;
    }

  private:
    void run(dravix::camera& cam) {
        uint8_t block[37];
        while (reading_) {
            cam.getDspFunction(dravix::dspCode(dravix::DspFunction::Gamma0), block, sizeof block);
            ++reads_;
        }
    }
    std::atomic<bool> reading_{true};
    std::atomic<int> reads_{0};
    std::thread thread_;
};

// Unplug and replug a streaming camera again and again while another client thread reads DSP
// functions: every cycle is reported, no thread is left behind and nothing crashes or hangs.
TEST_F(lifecycleExportsTest, soakOfUnplugAndReplugWhileStreamingAndReadingDsp) {
    plugCameras(1);
    const int32_t index = initAndOpenReporting();
    ASSERT_EQ(ZEL_CAM_FrameCallback(index, &frameRecorder::callback, &frames_), 0);

    dspReader reader(cameraAt(index));
    for (int cycle = 0; cycle < 100; ++cycle) {
        ASSERT_EQ(ZEL_CAM_StartPic(index, 0, 0), 0) << cycle;
        ASSERT_TRUE(frames_.waitForFrames(1)) << cycle;
        const std::size_t before = status_.calls();
        cameras().camera(1)->unplug();
        const std::size_t lost = status_.waitForCount(0, before);
        ASSERT_NE(lost, statusRecorder::kNone) << cycle;
        EXPECT_TRUE(status_.zeroed()[lost]) << cycle;
        cameras().camera(1)->replug();
        ASSERT_NE(status_.waitForCount(1, lost + 1), statusRecorder::kNone) << cycle;
    }
    EXPECT_GT(reader.stop(), 0);
    EXPECT_TRUE(cameraAt(index).isHidOpen());
    EXPECT_EQ(ZEL_CAM_Destroy(static_cast<uint8_t>(index)), 0);
}

}  // namespace
