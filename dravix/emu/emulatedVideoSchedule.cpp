#include "emu/emulatedVideoSchedule.h"

#include <algorithm>

namespace dravix::emu {

namespace {

constexpr uint64_t kNanosPerSecond = 1'000'000'000;

}  // namespace

emulatedVideoSchedule::emulatedVideoSchedule(clock::time_point start, uint16_t fps)
    : start_(start), fps_(std::max<uint16_t>(fps, 1)) {}

emulatedVideoSchedule::clock::time_point emulatedVideoSchedule::due(uint64_t frame) const {
    // Whole seconds and the rest apart, so that the product cannot overflow.
    uint64_t nanos = frame / fps_ * kNanosPerSecond + frame % fps_ * kNanosPerSecond / fps_;
    return start_ + std::chrono::nanoseconds(nanos);
}

uint64_t emulatedVideoSchedule::next(uint64_t delivered, clock::time_point now) const {
    return std::max(delivered + 1, latestDue(now));
}

uint64_t emulatedVideoSchedule::latestDue(clock::time_point now) const {
    if (now <= start_) {
        return 0;
    }
    auto elapsed = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now - start_).count());
    return elapsed / kNanosPerSecond * fps_ + elapsed % kNanosPerSecond * fps_ / kNanosPerSecond;
}

}  // namespace dravix::emu
