#pragma once

#include <linux/videodev2.h>

#include <cstdint>
#include <memory>
#include <thread>

#include "platform/ownedThread.h"
#include "platform/video.h"

namespace dravix::platform {

class v4l2Buffers;
class v4l2Node;
class v4l2StreamWaiter;

// A bound V4L2 capture node that streams packed YUYV frames through memory-mapped buffers.
//
// run() starts one streaming thread, owned by this object: it waits for filled buffers, hands
// each to the sink and queues it again. The thread leaves its loop by itself when the device is
// gone or the queue fails; stop() (also run by the destructor) wakes and joins it, then turns
// streaming off and frees the buffers, so that connect() and run() can follow again.
class v4l2Capture final : public videoCapture {
  public:
    explicit v4l2Capture(std::unique_ptr<v4l2Node> node);
    ~v4l2Capture() override;
    v4l2Capture(const v4l2Capture&) = delete;
    v4l2Capture& operator=(const v4l2Capture&) = delete;

    // -EINVAL when the driver offers no packed YUYV frames at the current size; -EBUSY while
    // another user holds the device's buffers.
    int requestYuy2() override;
    // Nothing to do when the buffers are set up already.
    int connect() override;
    // -EINVAL when the current format is not packed YUYV.
    int connectedFormat(uint16_t& width, uint16_t& height) override;
    // -EINVAL before connect(); -EBUSY while a stream runs or until stop() follows a stream that
    // ended by itself. When the thread cannot be started, the buffers are freed as by stop().
    int run(frameSink& sink) override;
    int stop() override;

  private:
    int readFormat(v4l2_format& format) const;
    int setStreaming(bool on) const;
    int startThread(frameSink& sink);
    // The body of the streaming thread.
    void stream(frameSink& sink) const;
    // Hands on the next filled buffer; false when the stream cannot go on.
    bool deliverNextFrame(frameSink& sink) const;

    const std::unique_ptr<v4l2Node> node_;
    std::unique_ptr<v4l2Buffers> buffers_;
    std::unique_ptr<v4l2StreamWaiter> waiter_;
    bool streaming_ = false;
    ownedThread thread_;
};

}  // namespace dravix::platform
