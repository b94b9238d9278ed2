#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace dravix {

// An event that stays set until it is reset, like the events of the device protocol's
// original platform. Waiters see every set() that happens after their last reset().
class manualResetEvent {
  public:
    explicit manualResetEvent(bool initiallySet = false);
    manualResetEvent(const manualResetEvent&) = delete;
    manualResetEvent& operator=(const manualResetEvent&) = delete;

    void set();
    void reset();
    bool isSet() const;
    // Waits until the event is set.
    void wait();
    // Waits at most `timeout`; returns true when the event is set.
    bool waitFor(std::chrono::milliseconds timeout);

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool set_;
};

}  // namespace dravix
