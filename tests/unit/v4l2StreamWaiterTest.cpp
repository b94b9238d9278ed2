// The wait of the V4L2 streaming thread, on descriptors that report what a capture node reports:
// readable (a filled buffer), hang-up and error (an unplugged device), an invalid descriptor.
// Every case must end the wait with work to do or the end of the stream, never spin or hang.
#include "platform/linux/v4l2StreamWaiter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <thread>

namespace dravix::platform {
namespace {

using event = v4l2StreamWaiter::event;

class v4l2StreamWaiterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        int error = 1;
        waiter_ = v4l2StreamWaiter::create(error);
        ASSERT_NE(waiter_, nullptr);
        ASSERT_EQ(error, 0);
        ASSERT_EQ(::pipe(pipe_), 0);
    }
    void TearDown() override {
        closeEnd(0);
        closeEnd(1);
    }

    void closeEnd(int end) {
        if (pipe_[end] >= 0) {
            ::close(pipe_[end]);
            pipe_[end] = -1;
        }
    }
    void makeReadable() { ASSERT_EQ(::write(pipe_[1], "f", 1), 1); }

    std::unique_ptr<v4l2StreamWaiter> waiter_;
    int pipe_[2] = {-1, -1};
};

TEST_F(v4l2StreamWaiterTest, reportsAReadyFrameAsLongAsOneIsThere) {
    makeReadable();
    EXPECT_EQ(waiter_->wait(pipe_[0]), event::frameReady);
    EXPECT_EQ(waiter_->wait(pipe_[0]), event::frameReady);
}

TEST_F(v4l2StreamWaiterTest, aStopRequestStaysAndWinsOverReadyFrames) {
    makeReadable();
    waiter_->requestStop();
    EXPECT_EQ(waiter_->wait(pipe_[0]), event::stopRequested);
    EXPECT_EQ(waiter_->wait(pipe_[0]), event::stopRequested);
}

// The owner stops a thread that blocks in the wait with nothing to read. The request is sticky,
// so the outcome does not depend on which thread comes first.
TEST_F(v4l2StreamWaiterTest, aStopRequestFromAnotherThreadWakesABlockedWait) {
    event result = event::frameReady;
    std::thread streaming([&] { result = waiter_->wait(pipe_[0]); });
    waiter_->requestStop();
    streaming.join();
    EXPECT_EQ(result, event::stopRequested);
}

// An unplugged node reports a hang-up and an error, with or without data still readable.
TEST_F(v4l2StreamWaiterTest, endsTheStreamOnHangUp) {
    makeReadable();
    closeEnd(1);
    EXPECT_EQ(waiter_->wait(pipe_[0]), event::streamEnded);
}

TEST_F(v4l2StreamWaiterTest, endsTheStreamOnError) {
    // The write end of a pipe without a reader reports POLLERR.
    closeEnd(0);
    EXPECT_EQ(waiter_->wait(pipe_[1]), event::streamEnded);
}

TEST_F(v4l2StreamWaiterTest, endsTheStreamOnAnInvalidDescriptor) {
    const int closed = pipe_[0];
    closeEnd(0);
    EXPECT_EQ(waiter_->wait(closed), event::streamEnded);
    EXPECT_EQ(waiter_->wait(-1), event::streamEnded);
}

}  // namespace
}  // namespace dravix::platform
