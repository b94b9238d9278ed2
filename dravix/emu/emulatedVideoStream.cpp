#include "emu/emulatedVideoStream.h"

#include <utility>

#include "emu/emulatedVideoSchedule.h"
#include "emu/emulatedVideoSource.h"
#include "platform/libraryThread.h"

namespace dravix::emu {

emulatedVideoStream::emulatedVideoStream(emulatedVideoSource& source,
                                         const emulatedVideoFormat& format,
                                         platform::frameSink& sink)
    : source_(source), format_(format), sink_(sink) {}

emulatedVideoStream::~emulatedVideoStream() {
    stop();
}

void emulatedVideoStream::start() {
    thread_.start([this] { libraryThread::run("emulatedVideoStream", [this] { threadMain(); }); });
}

void emulatedVideoStream::stop() {
    end();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void emulatedVideoStream::end() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
    }
    changed_.notify_all();
}

void emulatedVideoStream::post(std::vector<uint8_t> buffer) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        buffers_.push_back(std::move(buffer));
    }
    changed_.notify_all();
}

bool emulatedVideoStream::onStreamingThread() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return currentThreadId() == streamingThread_;
}

void emulatedVideoStream::threadMain() {
    emulatedVideoSchedule schedule(clock::now(), format_.fps);
    uint64_t frameNumber = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    streamingThread_ = currentThreadId();
    for (;;) {
        bool woken = changed_.wait_until(lock, schedule.due(frameNumber),
                                         [this] { return ended_ || !buffers_.empty(); });
        if (ended_) {
            return;
        }
        // The sink runs without the lock, so that it may post, end or change the camera.
        if (woken) {
            std::vector<uint8_t> buffer = std::move(buffers_.front());
            buffers_.pop_front();
            lock.unlock();
            deliver(buffer.data(), buffer.size());
        } else {
            lock.unlock();
            deliverFrame(frameNumber);
            frameNumber = schedule.next(frameNumber, clock::now());
        }
        lock.lock();
    }
}

void emulatedVideoStream::deliverFrame(uint64_t frameNumber) {
    if (source_.paused()) {
        return;
    }
    bool upsideDown = source_.upsideDown();
    if (!pattern_ || pattern_->upsideDown() != upsideDown) {
        pattern_.emplace(format_.width, format_.height, upsideDown);
    }
    // The counter carries the low 32 bits: it wraps after 2^32 frames, as a 32-bit counter does.
    const auto& frame = pattern_->frame(static_cast<uint32_t>(frameNumber));
    deliver(frame.data(), frame.size());
}

void emulatedVideoStream::deliver(const uint8_t* data, std::size_t length) {
    sink_.onFrame(data, length);
    source_.countDelivered();
}

}  // namespace dravix::emu
