#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "emu/emulatedVideoFormat.h"
#include "emu/testPattern.h"
#include "platform/ownedThread.h"
#include "platform/video.h"

namespace dravix::emu {

class emulatedVideoSource;

// One run of an emulated camera's stream: a streaming thread that hands the test pattern to the
// sink at the format's rate, and any injected buffers as soon as they are posted, in order. The
// capture that runs it owns it: start() launches the thread, stop() (or the destructor) ends and
// joins it. end() is the device going away: the thread ends by itself, and stop() still joins.
class emulatedVideoStream {
  public:
    emulatedVideoStream(emulatedVideoSource& source, const emulatedVideoFormat& format,
                        platform::frameSink& sink);
    ~emulatedVideoStream();
    emulatedVideoStream(const emulatedVideoStream&) = delete;
    emulatedVideoStream& operator=(const emulatedVideoStream&) = delete;

    void start();
    // Ends the stream and joins the thread: no onFrame() runs once it returns. Not from the
    // streaming thread itself.
    void stop();
    // Ends the stream without waiting; at most a frame already being delivered completes.
    void end();
    // Queues a buffer for delivery ahead of the next pattern frame.
    void post(std::vector<uint8_t> buffer);
    bool onStreamingThread() const;

  private:
    using clock = std::chrono::steady_clock;

    void threadMain();
    void deliverFrame(uint64_t frameNumber);
    void deliver(const uint8_t* data, std::size_t length);

    emulatedVideoSource& source_;
    const emulatedVideoFormat format_;
    platform::frameSink& sink_;

    mutable std::mutex mutex_;
    // The streaming thread waits on it for the next due frame, a posted buffer or the end.
    std::condition_variable changed_;
    std::deque<std::vector<uint8_t>> buffers_;
    bool ended_ = false;
    // Set by the streaming thread itself, so that reading it never races the start.
    threadId streamingThread_;
    ownedThread thread_;

    // Used by the streaming thread only; rebuilt when the flip setting changes.
    std::optional<testPattern> pattern_;
};

}  // namespace dravix::emu
