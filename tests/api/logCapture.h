#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "log/logLineFormatter.h"

// Collects the messages handed to a log callback as "LEVEL text".
class logCapture {
  public:
    static int onMessage(int64_t /*time*/, const uint8_t* level, const char* text, void* user) {
        auto* self = static_cast<logCapture*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->lines_.push_back(std::string(dravix::logLineFormatter::levelName(*level)) + " " +
                               text);
        self->arrived_.notify_all();
        return 0;
    }

    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

    // Waits until `line` has arrived `times` times in all; false after `timeout`.
    bool waitFor(const std::string& line, std::size_t times = 1,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_for(lock, timeout, [&] {
            return static_cast<std::size_t>(std::count(lines_.begin(), lines_.end(), line)) >=
                   times;
        });
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::string> lines_;
};

inline std::size_t countOf(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}
