#include "emu/emulatedVideoSource.h"

#include <cerrno>
#include <utility>

#include "emu/emulatedVideoStream.h"

namespace dravix::emu {

emulatedVideoSource::emulatedVideoSource(const emulatedVideoFormat& format) : format_(format) {
    plug();
}

void emulatedVideoSource::plug() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (session_ == kNoSession) {
        session_ = ++lastSession_;
    }
}

void emulatedVideoSource::unplug() {
    std::lock_guard<std::mutex> lock(mutex_);
    session_ = kNoSession;
    holder_ = nullptr;
    // The stream's owner still joins it; from here on nothing reaches it through the camera.
    if (running_ != nullptr) {
        running_->end();
        running_ = nullptr;
    }
}

uint64_t emulatedVideoSource::session() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return session_;
}

bool emulatedVideoSource::isOpen(uint64_t session) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !hasEnded(session);
}

void emulatedVideoSource::setFormat(const emulatedVideoFormat& format) {
    std::lock_guard<std::mutex> lock(mutex_);
    format_ = format;
}

emulatedVideoFormat emulatedVideoSource::format() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return format_;
}

bool emulatedVideoSource::deliverBuffer(std::vector<uint8_t> buffer) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_ == nullptr) {
        return false;
    }
    running_->post(std::move(buffer));
    return true;
}

int emulatedVideoSource::connect(const emulatedVideoCapture* capture, uint64_t session,
                                 emulatedVideoFormat& negotiated) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (hasEnded(session)) {
        return -ENODEV;
    }
    if (holder_ != nullptr && holder_ != capture) {
        return -EBUSY;
    }
    holder_ = capture;
    negotiated = format_;
    return 0;
}

void emulatedVideoSource::release(const emulatedVideoCapture* capture) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (holder_ == capture) {
        holder_ = nullptr;
    }
}

int emulatedVideoSource::attach(const emulatedVideoCapture* capture, uint64_t session,
                                emulatedVideoStream& stream) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (hasEnded(session)) {
        return -ENODEV;
    }
    if (holder_ != capture) {
        return -EINVAL;
    }
    if (running_ != nullptr) {
        return -EBUSY;
    }
    running_ = &stream;
    return 0;
}

void emulatedVideoSource::detach(const emulatedVideoStream& stream) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_ == &stream) {
        running_ = nullptr;
    }
}

bool emulatedVideoSource::hasEnded(uint64_t session) const {
    return session == kNoSession || session != session_;
}

}  // namespace dravix::emu
