// The camera's interrupt thread: reports from the emulated camera's HID channel through the
// bounded queue to the handler.
#include "device/interruptThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "device/fx3Hid.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "fileLog.h"

namespace dravix {
namespace {

using namespace std::chrono_literals;

class interruptThreadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(hid_.open(emu::emulatedCamera::kVendorId, emu::emulatedCamera::kProductId));
        interrupts_.setHandler([this](const interruptThread::data& report) {
            std::unique_lock<std::mutex> lock(mutex_);
            markers_.push_back(report[0]);
            changed_.notify_all();
            changed_.wait(lock, [this] { return !held_; });
            ++returned_;
        });
        interrupts_.start(hid_);
    }

    void TearDown() override {
        release();
        interrupts_.stop();
        hid_.close();
    }

    // An interrupt report of `type` whose first data byte is `marker`.
    void inject(uint8_t type, uint8_t marker) {
        std::array<uint8_t, fx3Hid::kInterruptDataSize> data{};
        data[0] = marker;
        cameras_.camera(1)->injectInterrupt(type, data);
    }

    bool waitForMarkers(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return markers_.size() >= count; });
    }
    std::vector<uint8_t> markers() {
        std::lock_guard<std::mutex> lock(mutex_);
        return markers_;
    }
    // While held, the handler does not return.
    void hold() {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = true;
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = false;
        changed_.notify_all();
    }
    // Waits until `count` reports in all are in the queue (or were, if taken since).
    bool waitForQueued(uint64_t count) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (interrupts_.reportsQueued() < count) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
    // The thread took `count` reports from the queue in all.
    bool waitForTaken(uint64_t count) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (interrupts_.reportsTaken() < count) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    test::fileLog log_{"dravix-interrupts"};
    emu::emulatedCameraSet cameras_{1};
    fx3Hid hid_{log_.log(), cameras_.hidBackend()};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<uint8_t> markers_;
    bool held_ = false;
    int returned_ = 0;
    interruptThread interrupts_{log_.log()};
};

TEST_F(interruptThreadTest, onlyStatusInterruptsReachTheHandlerWithTheirData) {
    inject(2, 0xEE);
    ASSERT_TRUE(waitForTaken(1));
    inject(1, 0x11);
    ASSERT_TRUE(waitForMarkers(1));
    EXPECT_EQ(markers(), std::vector<uint8_t>{0x11});
}

// Reports that arrive while one is handled wait their turn and are handed on in order.
TEST_F(interruptThreadTest, reportsArrivingWhileOneIsHandledWaitTheirTurnInOrder) {
    hold();
    inject(1, 1);
    ASSERT_TRUE(waitForMarkers(1));
    inject(1, 2);
    inject(2, 9);  // taken in turn, not handed on
    inject(1, 3);
    ASSERT_TRUE(waitForQueued(4));
    release();
    ASSERT_TRUE(waitForMarkers(3));
    EXPECT_EQ(markers(), (std::vector<uint8_t>{1, 2, 3}));
}

// More reports than the queue holds while one is handled: the oldest waiting ones are dropped
// with a warning, the newest kQueueDepth are handed on in order.
TEST_F(interruptThreadTest, aFullQueueDropsTheOldestWaitingReports) {
    constexpr std::size_t kExtra = 5;
    hold();
    inject(1, 0);
    ASSERT_TRUE(waitForMarkers(1));
    for (std::size_t i = 1; i <= interruptThread::kQueueDepth + kExtra; ++i) {
        inject(1, static_cast<uint8_t>(i));
    }
    ASSERT_TRUE(waitForQueued(1 + interruptThread::kQueueDepth + kExtra));
    release();
    ASSERT_TRUE(waitForMarkers(1 + interruptThread::kQueueDepth));
    std::vector<uint8_t> expected{0};
    for (std::size_t i = kExtra + 1; i <= interruptThread::kQueueDepth + kExtra; ++i) {
        expected.push_back(static_cast<uint8_t>(i));
    }
    EXPECT_EQ(markers(), expected);
    interrupts_.stop();
    hid_.close();
    const auto logged = log_.messages();
    EXPECT_NE(std::find(logged.begin(), logged.end(),
                        "interruptThread: queue full, 5 interrupt reports dropped"),
              logged.end());
}

TEST_F(interruptThreadTest, aRestartedThreadHandsOnlyNewReports) {
    inject(1, 1);
    ASSERT_TRUE(waitForMarkers(1));
    interrupts_.stop();
    EXPECT_FALSE(interrupts_.isRunning());
    interrupts_.start(hid_);
    inject(1, 2);
    ASSERT_TRUE(waitForMarkers(2));
    EXPECT_EQ(markers(), (std::vector<uint8_t>{1, 2}));
}

TEST_F(interruptThreadTest, stopWaitsForTheReportBeingHandled) {
    hold();
    inject(1, 7);
    ASSERT_TRUE(waitForMarkers(1));
    std::thread releaser([this] {
        std::this_thread::sleep_for(20ms);
        release();
    });
    interrupts_.stop();
    EXPECT_FALSE(interrupts_.isRunning());
    {
        std::lock_guard<std::mutex> lock(mutex_);
        EXPECT_EQ(returned_, 1);  // stop returned only after the handler did
    }
    releaser.join();
}

}  // namespace
}  // namespace dravix
