#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "emu/emulatedVideoFormat.h"

namespace dravix::emu {

class emulatedVideoCapture;
class emulatedVideoStream;

// The video interface of one emulated camera: its plug sessions, its format and test controls,
// which capture holds it, and the stream that capture runs.
//
// Like the HID side, each plug-in starts a new session and a capture works only within the
// session it was bound in. One capture at a time holds the device, from connect() until
// release(); an unplug frees it and ends its stream. Thread-safe.
class emulatedVideoSource {
  public:
    static constexpr uint64_t kNoSession = 0;

    explicit emulatedVideoSource(const emulatedVideoFormat& format);

    void plug();
    void unplug();
    // The current session, or kNoSession while unplugged.
    uint64_t session() const;
    bool isOpen(uint64_t session) const;

    // The format that the next connect() negotiates.
    void setFormat(const emulatedVideoFormat& format);
    emulatedVideoFormat format() const;

    // While paused, the stream keeps its schedule but hands no pattern frames to the sink.
    void setPaused(bool paused) { paused_ = paused; }
    bool paused() const { return paused_; }
    void setUpsideDown(bool upsideDown) { upsideDown_ = upsideDown; }
    bool upsideDown() const { return upsideDown_; }

    // Hands `buffer` to the running stream; false when none runs.
    bool deliverBuffer(std::vector<uint8_t> buffer);
    // Every buffer handed to a sink, pattern frames and injected buffers alike.
    uint64_t delivered() const { return delivered_; }
    void countDelivered() { ++delivered_; }

    // Makes `capture` the holder of the device and gives it the negotiated format. 0, -ENODEV
    // when `session` has ended, -EBUSY when another capture holds the device.
    int connect(const emulatedVideoCapture* capture, uint64_t session,
                emulatedVideoFormat& negotiated);
    void release(const emulatedVideoCapture* capture);
    // Makes `stream` the holder's running stream until detach() or an unplug. 0, -ENODEV when
    // `session` has ended, -EBUSY when a stream runs already, -EINVAL when `capture` does not
    // hold the device.
    int attach(const emulatedVideoCapture* capture, uint64_t session, emulatedVideoStream& stream);
    void detach(const emulatedVideoStream& stream);

  private:
    bool hasEnded(uint64_t session) const;

    mutable std::mutex mutex_;
    uint64_t session_ = kNoSession;
    uint64_t lastSession_ = kNoSession;
    emulatedVideoFormat format_;
    const emulatedVideoCapture* holder_ = nullptr;
    emulatedVideoStream* running_ = nullptr;

    std::atomic<bool> paused_{false};
    std::atomic<bool> upsideDown_{false};
    std::atomic<uint64_t> delivered_{0};
};

}  // namespace dravix::emu
