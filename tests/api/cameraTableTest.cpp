// The camera table under several threads: every export holds its camera for the length of the
// call, only the client's threads destroy cameras, and nothing a callback asks for waits for
// another of the library's threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camera/camera.h"
#include "camera/libraryState.h"
#include "device/deviceCommands.h"
#include "dravix/dravix.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "eventually.h"
#include "log/logger.h"
#include "logCapture.h"
#include "tempHome.h"

namespace {

using namespace std::chrono_literals;

// Two callbacks meet here, so that each is inside its call while the other acts.
class rendezvous {
  public:
    // False when the other side did not come within ten seconds.
    bool arriveAndWait() {
        std::unique_lock<std::mutex> lock(mutex_);
        ++arrived_;
        met_.notify_all();
        return met_.wait_for(lock, 10s, [this] { return arrived_ >= 2; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable met_;
    int arrived_ = 0;
};

// Runs an action given by the test once, from whichever callback it is registered as; keeps the
// action's result.
class oneShot {
  public:
    void arm(std::function<int32_t()> action) {
        std::lock_guard<std::mutex> lock(mutex_);
        action_ = std::move(action);
    }
    void run() {
        std::function<int32_t()> action;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            action.swap(action_);
        }
        if (action) {
            const int32_t result = action();
            std::lock_guard<std::mutex> lock(mutex_);
            results_.push_back(result);
            done_.notify_all();
        }
    }
    // The action's result, or -1 when it did not run within ten seconds.
    int32_t waitForResult() {
        std::unique_lock<std::mutex> lock(mutex_);
        return done_.wait_for(lock, 10s, [this] { return !results_.empty(); }) ? results_.front()
                                                                               : -1;
    }

    static int onFrame(uint8_t*, int32_t, void* user) {
        static_cast<oneShot*>(user)->run();
        return 0;
    }
    static int onStatus(DeviceStatus*, void* user) {
        static_cast<oneShot*>(user)->run();
        return 0;
    }
    // As a log callback, the messages go on to `forward` too.
    static int onMessage(int64_t time, const uint8_t* level, const char* text, void* user) {
        auto* self = static_cast<oneShot*>(user);
        if (self->forward != nullptr) {
            logCapture::onMessage(time, level, text, self->forward);
        }
        self->run();
        return 0;
    }

    logCapture* forward = nullptr;

  private:
    std::mutex mutex_;
    std::condition_variable done_;
    std::function<int32_t()> action_;
    std::vector<int32_t> results_;
};

class cameraTableTest : public ::testing::Test {
  protected:
    void SetUp() override { openLog(); }

    void TearDown() override {
        dravix::libraryState::instance().destroyAll();
        dravix::libraryLog().close();
        cameras().configure(0);
    }

    void openLog() {
        char version[20];
        ZEL_CAM_GetApiVersion(version);
        ZEL_CAM_setLogCallback(&logCapture::onMessage, &log_, ZEL_CAM_LOG_ALL);
    }

    static dravix::emu::emulatedCameraSet& cameras() {
        return dravix::emu::emulatedCameraSet::instance();
    }

    // `count` emulated cameras streaming small frames at 60 Hz.
    static void plugCameras(int count) {
        cameras().configure(count);
        for (int n = 1; n <= count; ++n) {
            cameras().camera(n)->setVideoFormat(160, 120, 60);
        }
    }

    // Init and Open of the next camera; its index.
    static int32_t initAndOpen() {
        int32_t index = 99;
        uint8_t count = 0;
        EXPECT_EQ(ZEL_CAM_Init(0, &index, &count), 0);
        EXPECT_EQ(ZEL_CAM_Open(index), 0);
        return index;
    }

    // Starts the stream of camera `index` in callback mode on its video path. The exports' start
    // first reads the flip setting over the command channel, which is not what these tests are
    // about.
    static void startStreaming(int32_t index) {
        dravix::fx3UvcVid& video = cameraAt(index)->video();
        ASSERT_EQ(video.initVideo(nullptr), 0);
        ASSERT_EQ(video.startVideo(), 0);
    }

    static int32_t init() {
        int32_t index = 99;
        uint8_t count = 0;
        return ZEL_CAM_Init(0, &index, &count) == 0 ? index : -1;
    }

    static dravix::camera* cameraAt(int32_t index) {
        return dravix::libraryState::instance().cameraAt(index).get();
    }

    tempHome home_;
    logCapture log_;
};

// The library's log callback may call the exports; an Init there would destroy the camera that
// a client thread is using.
struct initFromTheLogCallback {
    static int onMessage(int64_t time, const uint8_t* level, const char* text, void* user) {
        auto* self = static_cast<initFromTheLogCallback*>(user);
        logCapture::onMessage(time, level, text, self->log);
        if (self->results.size() < kAttempts) {
            int32_t index = 0;
            uint8_t count = 0;
            const int32_t result = ZEL_CAM_Init(0, &index, &count);
            std::lock_guard<std::mutex> lock(self->mutex);
            self->results.push_back(result);
        }
        return 0;
    }
    static constexpr std::size_t kAttempts = 4;
    logCapture* log = nullptr;
    std::mutex mutex;
    std::vector<int32_t> results;
};

TEST_F(cameraTableTest, anInitFromTheLogCallbackLeavesTheCameraAClientUses) {
    plugCameras(1);
    ASSERT_EQ(init(), 0);
    dravix::camera* const used = cameraAt(0);
    initFromTheLogCallback fromLog;
    fromLog.log = &log_;
    ZEL_CAM_setLogCallback(&initFromTheLogCallback::onMessage, &fromLog, ZEL_CAM_LOG_ALL);

    std::atomic<bool> done{false};
    std::thread client([&] {
        while (!done) {
            EXPECT_EQ(ZEL_CAM_SetVideoScale(0, 64, 48, 1.0f), 0);
        }
    });
    ZEL_CAM_getHue(0, nullptr);  // a message for the callback; each refused Init logs the next
    EXPECT_TRUE(log_.waitFor(
        "ERROR main::ZEL_CAM_Init: the camera in slot 0 can't be replaced from a callback of the "
        "library",
        initFromTheLogCallback::kAttempts));
    done = true;
    client.join();
    EXPECT_EQ(cameraAt(0), used);
    dravix::libraryLog().close();  // no call reaches fromLog after this test
    EXPECT_EQ(fromLog.results, std::vector<int32_t>(initFromTheLogCallback::kAttempts, 1));
}

TEST_F(cameraTableTest, clientThreadsCallExportsWhileAnotherInitsAndDestroys) {
    plugCameras(1);
    std::atomic<bool> done{false};
    std::atomic<int> unexpected{0};
    auto expectResult = [&](int32_t result) {
        if (result != 0 && result != 1) {
            ++unexpected;
        }
    };
    std::vector<std::thread> clients;
    for (int n = 0; n < 4; ++n) {
        clients.emplace_back([&, n] {
            const int32_t index = n % 2;
            uint32_t shown = 0;
            uint32_t missed = 0;
            uint32_t length = 0;
            while (!done) {
                expectResult(ZEL_CAM_SetVideoScale(index, 64, 48, 1.0f));
                expectResult(ZEL_CAM_GetFrameCounters(index, &shown, &missed, &length));
                expectResult(ZEL_CAM_setColorMode(index, 1));
                expectResult(ZEL_CAM_FrameCallback(index, nullptr, nullptr));
                expectResult(ZEL_CAM_StatusCallback(index, nullptr, nullptr));
                expectResult(ZEL_CAM_Stop(index));
                expectResult(ZEL_CAM_Close(index));
            }
        });
    }
    for (int cycle = 0; cycle < 30; ++cycle) {
        openLog();
        EXPECT_EQ(init(), 0);
        EXPECT_EQ(init(), 0);  // replaces the unopened camera of slot 0
        EXPECT_EQ(ZEL_CAM_Destroy(0), 0);
    }
    done = true;
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_EQ(unexpected, 0);
    EXPECT_TRUE(dravix::libraryState::instance().allSlotsEmpty());
}

// The camera answers the client's application state only once the client's Destroy has taken
// the camera out of the table, so the export is in the middle of its call while Destroy runs.
TEST_F(cameraTableTest, destroyWaitsForACallInProgressOnTheCamera) {
    plugCameras(1);
    const int32_t index = initAndOpen();
    std::atomic<bool> inCall{false};
    cameras().camera(1)->setCommandHandler(dravix::deviceCommands::kCmdAppState, [&](const auto&) {
        inCall = true;
        EXPECT_TRUE(eventually([] { return cameraAt(0) == nullptr; }));
        return dravix::emu::commandReply{};
    });
    int32_t registered = -1;
    std::thread client([&] { registered = ZEL_CAM_StatusCallback(index, nullptr, nullptr); });
    ASSERT_TRUE(eventually([&] { return inCall.load(); }));
    EXPECT_EQ(ZEL_CAM_Destroy(static_cast<uint8_t>(index)), 0);
    client.join();
    EXPECT_EQ(registered, 0);
    EXPECT_TRUE(dravix::libraryState::instance().allSlotsEmpty());
}

// A frame callback that uses its own camera holds it during each call; the camera is destroyed
// on the client's thread, never on the delivery thread that dropped the last hold.
TEST_F(cameraTableTest, aFrameCallbackUsingItsCameraWhileTheClientDestroysIt) {
    plugCameras(1);
    const int32_t index = initAndOpen();
    struct framesUsingTheCamera {
        static int onFrame(uint8_t*, int32_t, void* user) {
            auto* self = static_cast<framesUsingTheCamera*>(user);
            uint32_t shown = 0;
            uint32_t missed = 0;
            uint32_t length = 0;
            ZEL_CAM_GetFrameCounters(0, &shown, &missed, &length);
            ZEL_CAM_SetVideoScale(0, 64, 48, 1.0f);
            ++self->frames;
            return 0;
        }
        std::atomic<int> frames{0};
    } callback;
    ASSERT_EQ(ZEL_CAM_FrameCallback(index, &framesUsingTheCamera::onFrame, &callback), 0);
    startStreaming(index);
    ASSERT_TRUE(eventually([&] { return callback.frames > 3; }));
    EXPECT_EQ(ZEL_CAM_Destroy(static_cast<uint8_t>(index)), 0);
    EXPECT_TRUE(dravix::libraryState::instance().allSlotsEmpty());
}

// Destroying waits for threads and calls that may be waiting for the callback that asks, so it
// is refused on every thread of the library, and nothing changes.
TEST_F(cameraTableTest, destroyFromAnyCallbackOfTheLibraryIsRefused) {
    struct refusal {
        const char* from;
        // Registers `shot` as the callback that destroys camera 0.
        std::function<void(oneShot& shot)> arm;
    };
    const std::vector<refusal> refusals = {
        {"the log callback",
         [this](oneShot& shot) {
             shot.forward = &log_;
             ZEL_CAM_setLogCallback(&oneShot::onMessage, &shot, ZEL_CAM_LOG_ALL);
             ZEL_CAM_getHue(0, nullptr);  // a message to deliver
         }},
        {"a frame callback of another camera",
         [](oneShot& shot) {
             ASSERT_EQ(ZEL_CAM_FrameCallback(1, &oneShot::onFrame, &shot), 0);
             startStreaming(1);
         }},
        {"a status callback of another camera",
         [](oneShot& shot) {
             ASSERT_EQ(ZEL_CAM_StatusCallback(1, &oneShot::onStatus, &shot), 0);
             cameras().camera(3)->unplug();  // a count change to report
         }},
        {"a frame callback of the camera itself",
         [](oneShot& shot) {
             ASSERT_EQ(ZEL_CAM_FrameCallback(0, &oneShot::onFrame, &shot), 0);
             startStreaming(0);
         }},
    };
    for (const refusal& refused : refusals) {
        SCOPED_TRACE(refused.from);
        plugCameras(3);
        ASSERT_EQ(initAndOpen(), 0);
        ASSERT_EQ(initAndOpen(), 1);
        dravix::camera* const first = cameraAt(0);
        oneShot shot;
        shot.arm([] { return ZEL_CAM_Destroy(0); });
        refused.arm(shot);
        EXPECT_EQ(shot.waitForResult(), 1);
        ZEL_CAM_setLogCallback(&logCapture::onMessage, &log_, ZEL_CAM_LOG_ALL);
        EXPECT_TRUE(
            log_.waitFor("ERROR main::ZEL_CAM_Destroy: not from a callback of the library"));
        EXPECT_EQ(cameraAt(0), first);
        EXPECT_TRUE(dravix::libraryLog().isOpen());
        EXPECT_EQ(ZEL_CAM_Destroy(1), 0);  // and from the client's thread it works
        EXPECT_EQ(ZEL_CAM_Destroy(0), 0);
        TearDown();
        openLog();
    }
}

// Each side's callback closes the other camera while the other's callback closes it: a close
// from a library thread only asks the other camera's threads to end, so neither waits for the
// other.
TEST_F(cameraTableTest, callbacksOfTwoCamerasCloseEachOther) {
    struct crossing {
        const char* callbacks;
        std::function<void(int32_t index, oneShot& shot)> arm;
        std::function<void()> trigger;
    };
    const std::vector<crossing> crossings = {
        {"status callbacks",
         [](int32_t index, oneShot& shot) {
             ASSERT_EQ(ZEL_CAM_StatusCallback(index, &oneShot::onStatus, &shot), 0);
         },
         [] { cameras().camera(3)->unplug(); }},
        {"frame callbacks",
         [](int32_t index, oneShot& shot) {
             ASSERT_EQ(ZEL_CAM_FrameCallback(index, &oneShot::onFrame, &shot), 0);
             startStreaming(index);
         },
         [] {}},
    };
    for (const crossing& crossed : crossings) {
        SCOPED_TRACE(crossed.callbacks);
        plugCameras(3);
        ASSERT_EQ(initAndOpen(), 0);
        ASSERT_EQ(initAndOpen(), 1);
        rendezvous meeting;
        oneShot shots[2];
        for (int32_t index = 0; index < 2; ++index) {
            shots[index].arm([&meeting, index] {
                EXPECT_TRUE(meeting.arriveAndWait());
                return ZEL_CAM_Close(1 - index);
            });
        }
        crossed.arm(0, shots[0]);
        crossed.arm(1, shots[1]);
        crossed.trigger();
        EXPECT_EQ(shots[0].waitForResult(), 0);
        EXPECT_EQ(shots[1].waitForResult(), 0);
        EXPECT_FALSE(cameraAt(0)->isOpened());
        EXPECT_FALSE(cameraAt(1)->isOpened());
        EXPECT_EQ(ZEL_CAM_Destroy(0), 0);  // joins what the callbacks only asked to end
        EXPECT_EQ(ZEL_CAM_Destroy(1), 0);
        TearDown();
        openLog();
    }
}

}  // namespace
