#include "emu/emulatedVideoCapture.h"

#include <cerrno>
#include <utility>

#include "emu/emulatedCamera.h"
#include "emu/emulatedVideoSource.h"
#include "emu/emulatedVideoStream.h"

namespace dravix::emu {

emulatedVideoCapture::emulatedVideoCapture(std::shared_ptr<emulatedCamera> camera, uint64_t session)
    : camera_(std::move(camera)), session_(session) {}

emulatedVideoCapture::~emulatedVideoCapture() {
    stop();
    source().release(this);
}

int emulatedVideoCapture::requestYuy2() {
    return isOpen() ? 0 : -ENODEV;
}

int emulatedVideoCapture::connect() {
    if (!isOpen()) {
        return -ENODEV;
    }
    // A new format must not reach a stream that runs in the old one.
    if (stream_) {
        return -EBUSY;
    }
    int result = source().connect(this, session_, format_);
    if (result == 0) {
        connected_ = true;
    }
    return result;
}

int emulatedVideoCapture::connectedFormat(uint16_t& width, uint16_t& height) {
    if (!connected_) {
        return -EINVAL;
    }
    width = format_.width;
    height = format_.height;
    return 0;
}

int emulatedVideoCapture::run(platform::frameSink& sink) {
    if (!isOpen()) {
        return -ENODEV;
    }
    if (!connected_) {
        return -EINVAL;
    }
    if (stream_) {
        return -EBUSY;
    }
    auto stream = std::make_unique<emulatedVideoStream>(source(), format_, sink);
    int result = source().attach(this, session_, *stream);
    if (result != 0) {
        return result;
    }
    stream_ = std::move(stream);
    stream_->start();
    return 0;
}

int emulatedVideoCapture::stop() {
    if (!stream_) {
        return 0;
    }
    if (stream_->onStreamingThread()) {
        return -EDEADLK;
    }
    source().detach(*stream_);
    stream_->stop();
    stream_.reset();
    return 0;
}

emulatedVideoSource& emulatedVideoCapture::source() const {
    return camera_->video_;
}

bool emulatedVideoCapture::isOpen() const {
    return source().isOpen(session_);
}

}  // namespace dravix::emu
