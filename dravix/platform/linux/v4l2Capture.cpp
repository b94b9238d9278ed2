#include "platform/linux/v4l2Capture.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <system_error>

#include "platform/libraryThread.h"
#include "platform/linux/v4l2Buffers.h"
#include "platform/linux/v4l2Node.h"
#include "platform/linux/v4l2StreamWaiter.h"

namespace dravix::platform {
namespace {

// Field orders whose buffers hold one whole frame with its rows from top to bottom. The others
// carry a single field or both fields one after the other.
bool holdsWholeFrames(uint32_t field) {
    return field == V4L2_FIELD_NONE || field == V4L2_FIELD_INTERLACED ||
           field == V4L2_FIELD_INTERLACED_TB || field == V4L2_FIELD_INTERLACED_BT;
}

// Frames go to the sink as plain rows of two bytes per pixel; a driver that pads its rows would
// deliver images that the library reads skewed.
bool isPackedYuyv(const v4l2_pix_format& format) {
    return format.pixelformat == V4L2_PIX_FMT_YUYV && holdsWholeFrames(format.field) &&
           format.width > 0 && format.height > 0 &&
           static_cast<uint64_t>(format.bytesperline) == uint64_t{format.width} * 2;
}

// An unplugged device has taken its streaming state and buffers with it.
int ignoringUnplug(int result) {
    return result == -ENODEV ? 0 : result;
}

}  // namespace

v4l2Capture::v4l2Capture(std::unique_ptr<v4l2Node> node) : node_(std::move(node)) {}

v4l2Capture::~v4l2Capture() {
    stop();
}

int v4l2Capture::requestYuy2() {
    v4l2_format format{};
    int result = readFormat(format);
    if (result != 0) {
        return result;
    }
    // The driver fills in the row length and the image size for the new pixel format.
    format.fmt.pix.pixelformat = V4L2_PIX_FMT_YUYV;
    format.fmt.pix.field = V4L2_FIELD_NONE;
    format.fmt.pix.bytesperline = 0;
    format.fmt.pix.sizeimage = 0;
    result = node_->control(VIDIOC_S_FMT, &format);
    if (result != 0) {
        return result;
    }
    return isPackedYuyv(format.fmt.pix) ? 0 : -EINVAL;
}

int v4l2Capture::connect() {
    if (buffers_) {
        return 0;
    }
    int error = 0;
    buffers_ = v4l2Buffers::allocate(*node_, error);
    return error;
}

int v4l2Capture::connectedFormat(uint16_t& width, uint16_t& height) {
    v4l2_format format{};
    const int result = readFormat(format);
    if (result != 0) {
        return result;
    }
    if (!isPackedYuyv(format.fmt.pix)) {
        return -EINVAL;
    }
    constexpr uint32_t kLargest = std::numeric_limits<uint16_t>::max();
    if (format.fmt.pix.width > kLargest || format.fmt.pix.height > kLargest) {
        return -ERANGE;
    }
    width = static_cast<uint16_t>(format.fmt.pix.width);
    height = static_cast<uint16_t>(format.fmt.pix.height);
    return 0;
}

int v4l2Capture::run(frameSink& sink) {
    if (thread_.joinable()) {
        return -EBUSY;
    }
    if (!buffers_) {
        return -EINVAL;
    }
    int result = 0;
    waiter_ = v4l2StreamWaiter::create(result);
    if (result == 0) {
        result = setStreaming(true);
    }
    if (result != 0) {
        // Nothing was started; the queued buffers stay ready for another run().
        waiter_.reset();
        return result;
    }
    streaming_ = true;
    result = startThread(sink);
    if (result != 0) {
        stop();
    }
    return result;
}

int v4l2Capture::stop() {
    if (thread_.joinable()) {
        waiter_->requestStop();
        thread_.join();
    }
    waiter_.reset();
    int result = 0;
    if (streaming_) {
        // Turning streaming off also takes every buffer back from the driver.
        result = ignoringUnplug(setStreaming(false));
        streaming_ = false;
    }
    buffers_.reset();
    return result;
}

int v4l2Capture::readFormat(v4l2_format& format) const {
    format = v4l2_format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    return node_->control(VIDIOC_G_FMT, &format);
}

int v4l2Capture::setStreaming(bool on) const {
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    return node_->control(on ? VIDIOC_STREAMON : VIDIOC_STREAMOFF, &type);
}

int v4l2Capture::startThread(frameSink& sink) {
    try {
        thread_.start([this, &sink] {
            libraryThread::run("v4l2Capture::stream", [this, &sink] { stream(sink); });
        });
    } catch (const std::system_error& error) {
        return -error.code().value();
    }
    return 0;
}

void v4l2Capture::stream(frameSink& sink) const {
    while (waiter_->wait(node_->fd()) == v4l2StreamWaiter::event::frameReady) {
        if (!deliverNextFrame(sink)) {
            return;
        }
    }
}

bool v4l2Capture::deliverNextFrame(frameSink& sink) const {
    v4l2_buffer buffer{};
    const int result = buffers_->dequeue(buffer);
    // Another poll waits for the buffer that was announced but is not filled yet.
    if (result == -EAGAIN) {
        return true;
    }
    // -ENODEV: unplugged; -EIO: the queue failed for good; -EPIPE: the last buffer has come.
    if (result != 0 || buffer.index >= buffers_->count()) {
        return false;
    }
    // A buffer the driver marks as damaged is not a frame; it goes straight back for filling.
    if ((buffer.flags & V4L2_BUF_FLAG_ERROR) == 0) {
        const std::size_t length =
            std::min<std::size_t>(buffer.bytesused, buffers_->length(buffer.index));
        sink.onFrame(buffers_->data(buffer.index), length);
    }
    return buffers_->queue(buffer.index) == 0;
}

}  // namespace dravix::platform
