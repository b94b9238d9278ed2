#pragma once

#include <memory>

namespace dravix::platform {

// What the streaming thread of a V4L2 capture waits on: a filled buffer on the device node, or
// the owner's request to stop, signalled through an eventfd so that a thread blocked in poll()
// wakes at once. Waiting never times out and never spins: every outcome it returns is either
// work to do or the end of the stream.
class v4l2StreamWaiter final {
  public:
    enum class event {
        // A buffer can be dequeued.
        frameReady,
        // requestStop() was called.
        stopRequested,
        // The node reports an error or a hang-up (the device is gone), or poll() itself failed:
        // no frame will come any more.
        streamEnded,
    };

    // Null with `error` set to -errno when the eventfd cannot be created.
    static std::unique_ptr<v4l2StreamWaiter> create(int& error);

    explicit v4l2StreamWaiter(int stopFd);
    ~v4l2StreamWaiter();
    v4l2StreamWaiter(const v4l2StreamWaiter&) = delete;
    v4l2StreamWaiter& operator=(const v4l2StreamWaiter&) = delete;

    // Blocks until one of the events happens on `deviceFd`. A stop request wins over a ready
    // frame, so that stopping takes effect at the next wait even while frames keep arriving.
    event wait(int deviceFd) const;
    // Makes the current and every later wait() return stopRequested. Safe from any thread.
    void requestStop() const;

  private:
    const int stopFd_;
};

}  // namespace dravix::platform
