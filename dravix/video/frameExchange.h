#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace dravix {

// Hands the newest frame from the streaming thread to the delivery thread with one copy per
// frame. The writer fills a buffer of its own and publishes it; the reader takes the newest
// published buffer and keeps it for as long as it works on it. No buffer is ever written while
// the other side uses it; a frame published before the reader took the previous one replaces it.
class frameExchange {
  public:
    struct frame {
        std::vector<uint8_t> bytes;
        uint32_t length = 0;
        std::chrono::steady_clock::time_point arrival{};  // when the capture handed it over
    };

    // Three buffers of `capacity` bytes each; drops whatever was published.
    void allocate(std::size_t capacity);
    void release();
    std::size_t capacity() const { return capacity_; }

    // The writer's buffer: only the writing thread touches it until publish().
    frame& writable() { return buffers_[writer_]; }
    // Makes the writer's buffer the newest frame.
    void publish();
    // Takes the newest frame for reading when one was published since the last take; false
    // when there is none. The taken frame stays valid until the next takeNewest().
    bool takeNewest();
    const frame& reading() const { return buffers_[reader_]; }

  private:
    std::mutex mutex_;
    std::array<frame, 3> buffers_;
    std::size_t capacity_ = 0;
    std::size_t writer_ = 0;
    std::size_t ready_ = 1;
    std::size_t reader_ = 2;
    bool fresh_ = false;
};

}  // namespace dravix
