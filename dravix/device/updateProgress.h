#pragma once

#include <atomic>
#include <cstdint>

namespace dravix {

// The counters of one camera's firmware update, written by the update thread and read by any
// thread without a lock. The percentage never goes backwards during an update and reaches 100
// only once the update's final result is stored and is a success; until then, and after a
// failure, it stops at 99. Arithmetic is 64-bit, so no image size wraps it.
class updateProgress {
  public:
    static constexpr uint8_t kRunningCap = 99;
    static constexpr uint8_t kFinished = 100;

    // A new update: done 0 of `total`, result 0, running.
    void begin(uint64_t total);
    // Replaces the denominator; only while nothing is done yet.
    void setTotal(uint64_t total) { total_ = total; }
    void advance(uint64_t amount) { done_ += amount; }
    // Counts everything as done (the end of a method that reports its whole size).
    void completeAll() { done_ = total_.load(); }
    uint64_t done() const { return done_; }
    uint64_t total() const { return total_; }

    // The intermediate result, as the methods write it while they run.
    void setResult(uint8_t result) { result_ = result; }
    uint8_t result() const { return result_; }
    // Stores the final result, then marks the update finished.
    void finish(uint8_t result);
    // A request refused before any update ran on this attempt: finished with `result` at 0 %.
    void refuse(uint8_t result);

    bool finished() const { return finished_; }
    // True once any update was asked for on this camera.
    bool everStarted() const { return everStarted_; }
    // 100 after a success, else done × 100 ÷ total (0 for a total of 0), at most 99.
    uint8_t percent() const;

  private:
    std::atomic<uint64_t> total_{0};
    std::atomic<uint64_t> done_{0};
    std::atomic<uint8_t> result_{0};
    std::atomic<bool> finished_{false};
    std::atomic<bool> everStarted_{false};
};

}  // namespace dravix
