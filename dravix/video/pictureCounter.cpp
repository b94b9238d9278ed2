#include "video/pictureCounter.h"

namespace dravix {

pictureCounter& pictureCounter::process() {
    static pictureCounter counter;
    return counter;
}

// The time is read under the lock, so that of two requests the later one always sees the later
// time and the counter follows the order of the names.
int pictureCounter::next(int32_t nameMode, const std::function<std::time_t()>& clock,
                         std::time_t& lastPictureTime, std::time_t& now) {
    constexpr std::time_t kSecondsForgotten = 60;
    mutexLock lock(mutex_);
    now = clock();
    std::tm local{};
    localtime_r(&now, &local);
    const bool newSecond = now - lastPictureTime > kSecondsForgotten || local.tm_sec != lastSecond_;
    lastPictureTime = now;
    lastSecond_ = local.tm_sec;
    if (newSecond && nameMode >= kFirstPerSecondMode) {
        counter_ = 0;
    } else {
        counter_ = (counter_ + 1) % kWrap;
    }
    return counter_;
}

}  // namespace dravix
