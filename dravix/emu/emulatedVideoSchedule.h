#pragma once

#include <chrono>
#include <cstdint>

namespace dravix::emu {

// When the frames of a stream fall due: frame n at start + n / fps seconds, computed from the
// start each time so that the rate never drifts. A stream that falls behind catches up with at
// most one frame instead of a burst.
class emulatedVideoSchedule {
  public:
    using clock = std::chrono::steady_clock;

    emulatedVideoSchedule(clock::time_point start, uint16_t fps);

    clock::time_point due(uint64_t frame) const;
    // The frame to deliver after `delivered` at time `now`: the next one, or, when that one is
    // more than a period late, the latest frame due by now; the frames in between are dropped.
    uint64_t next(uint64_t delivered, clock::time_point now) const;

  private:
    // The latest frame due by `now`.
    uint64_t latestDue(clock::time_point now) const;

    const clock::time_point start_;
    const uint64_t fps_;
};

}  // namespace dravix::emu
