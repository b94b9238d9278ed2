// A worker thread stopped and started by its owner and by callbacks on its own thread.
#include "platform/restartableThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>

#include "platform/libraryThread.h"
#include "platform/manualResetEvent.h"

namespace dravix {
namespace {

using namespace std::chrono_literals;

// Waits up to ten seconds for `thread` to leave its body.
bool eventuallyStopped(const restartableThread& thread) {
    for (int i = 0; i < 10000 && thread.isRunning(); ++i) {
        std::this_thread::sleep_for(1ms);
    }
    return !thread.isRunning();
}

// A body that counts its passes and, once, runs an action given by the test on its own thread
// (as a callback would).
class worker {
  public:
    worker() : thread_([this] { run(); }, [this] { wake_.set(); }) {}

    void onNextPass(std::function<void(restartableThread&)> action) {
        std::lock_guard<std::mutex> lock(mutex_);
        action_ = std::move(action);
        actionDone_.reset();
        wake_.set();
    }
    bool waitForAction() { return actionDone_.waitFor(10s); }
    // Waits until the body has made `more` further passes.
    bool waitForPasses(int more) {
        const int target = passes_ + more;
        for (int i = 0; i < 10000 && passes_ < target; ++i) {
            wake_.set();
            std::this_thread::sleep_for(1ms);
        }
        return passes_ >= target;
    }
    int bodies() const { return bodies_; }

  private:
    void run() {
        ++bodies_;
        while (thread_.keepRunning()) {
            ++passes_;
            std::function<void(restartableThread&)> action;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                action.swap(action_);
            }
            if (action) {
                action(thread_);
                actionDone_.set();
            }
            wake_.waitFor(100ms);
            wake_.reset();
        }
    }

    manualResetEvent wake_;
    manualResetEvent actionDone_;
    std::mutex mutex_;
    std::function<void(restartableThread&)> action_;
    std::atomic<int> passes_{0};
    std::atomic<int> bodies_{0};

  public:
    // Last, so that it ends before the members its body uses.
    restartableThread thread_;
};

TEST(restartableThread, startsStopsAndStartsAgainWithANewBody) {
    worker w;
    EXPECT_FALSE(w.thread_.isRunning());
    w.thread_.start();
    EXPECT_TRUE(w.thread_.isRunning());
    ASSERT_TRUE(w.waitForPasses(1));
    w.thread_.start();  // running: kept
    w.thread_.stop();
    EXPECT_FALSE(w.thread_.isRunning());
    w.thread_.start();
    ASSERT_TRUE(w.waitForPasses(1));
    EXPECT_EQ(w.bodies(), 2);
}

TEST(restartableThread, aStopAskedForFromInsideIsCancelledByAStartFromInside) {
    worker w;
    w.thread_.start();
    w.onNextPass([](restartableThread& t) {
        t.stop();  // on the thread itself: only asks
        EXPECT_FALSE(t.isRunning());
        t.start();  // cancels it
    });
    ASSERT_TRUE(w.waitForAction());
    ASSERT_TRUE(w.waitForPasses(2));
    EXPECT_TRUE(w.thread_.isRunning());
    EXPECT_EQ(w.bodies(), 1);
}

TEST(restartableThread, aThreadThatAskedToEndIsJoinedAndRestartedByTheNextStart) {
    worker w;
    w.thread_.start();
    w.onNextPass([](restartableThread& t) { t.requestStop(); });
    ASSERT_TRUE(w.waitForAction());
    w.thread_.start();  // joins the old thread if it left its body, else cancels the stop
    ASSERT_TRUE(w.waitForPasses(2));
    EXPECT_TRUE(w.thread_.isRunning());
    EXPECT_LE(w.bodies(), 2);
}

TEST(restartableThread, aJoiningStopIsNotCancelledByAStartFromInside) {
    worker w;
    w.thread_.start();
    std::atomic<bool> stopping{false};
    w.onNextPass([&](restartableThread& t) {
        while (!stopping) {
            std::this_thread::sleep_for(1ms);
        }
        std::this_thread::sleep_for(10ms);  // the owner is in stop() by now
        t.start();
    });
    std::thread owner([&] {
        stopping = true;
        w.thread_.stop();  // must return: the start inside does not undo it
    });
    owner.join();
    EXPECT_FALSE(w.thread_.isRunning());
    EXPECT_EQ(w.bodies(), 1);
}

// Two callbacks that start the thread at the same moment after it left its body: one new thread,
// and neither start waits for it.
TEST(restartableThread, concurrentStartsAfterTheBodyLeftMakeOneThread) {
    worker w;
    w.thread_.start();
    for (int round = 0; round < 200; ++round) {
        w.thread_.requestStop();
        w.thread_.stop();  // the body has left
        std::atomic<int> ready{0};
        auto starter = [&] {
            ++ready;
            while (ready < 2) {
                std::this_thread::yield();
            }
            w.thread_.start();
        };
        auto first = std::async(std::launch::async, starter);
        auto second = std::async(std::launch::async, starter);
        if (first.wait_for(10s) != std::future_status::ready ||
            second.wait_for(10s) != std::future_status::ready) {
            ADD_FAILURE() << "a start waits for the thread the other one started, round " << round;
            std::_Exit(1);  // the hung start would keep the test from ending
        }
        ASSERT_TRUE(w.thread_.isRunning());
    }
    ASSERT_TRUE(w.waitForPasses(1));  // the last body has begun
    EXPECT_EQ(w.bodies(), 201);
}

// A stop asked for on another library thread (a callback of another camera) only asks: the
// thread asked may be waiting for that very callback.
TEST(restartableThread, aStopFromAnotherLibraryThreadDoesNotWaitForTheThread) {
    worker w;
    w.thread_.start();
    manualResetEvent actionRunning;
    manualResetEvent stopAsked;
    w.onNextPass([&](restartableThread&) {
        actionRunning.set();
        EXPECT_TRUE(stopAsked.waitFor(10s));
    });
    std::thread callback([&] {
        libraryThread::run("test callback", [&] {
            // Asked while the thread is inside its pass, so that the pass is the one it ends.
            ASSERT_TRUE(actionRunning.waitFor(10s));
            w.thread_.stop();
            stopAsked.set();
        });
    });
    callback.join();
    ASSERT_TRUE(w.waitForAction());
    EXPECT_FALSE(w.thread_.isRunning());
    w.thread_.stop();  // the owner joins it
    EXPECT_EQ(w.bodies(), 1);
}

// An exception that leaves the body ends the thread instead of the process; a start runs the
// body again.
TEST(restartableThread, aBodyThatThrowsEndsItsThreadAndAStartRunsItAgain) {
    worker w;
    w.thread_.start();
    w.onNextPass([](restartableThread&) { throw std::runtime_error("thrown by the body"); });
    ASSERT_TRUE(eventuallyStopped(w.thread_));
    w.thread_.start();
    ASSERT_TRUE(w.waitForPasses(1));
    EXPECT_EQ(w.bodies(), 2);
}

}  // namespace
}  // namespace dravix
