#include "device/updateProgress.h"

#include <algorithm>

namespace dravix {

void updateProgress::begin(uint64_t total) {
    finished_ = false;
    result_ = 0;
    done_ = 0;
    total_ = total;
    everStarted_ = true;
}

void updateProgress::finish(uint8_t result) {
    result_ = result;
    finished_ = true;
}

void updateProgress::refuse(uint8_t result) {
    done_ = 0;
    total_ = 0;
    everStarted_ = true;
    finish(result);
}

// finished_ is read first: a reader that sees it set also sees the final result. A failed
// update stops below 100, so that 100 always means success.
uint8_t updateProgress::percent() const {
    const bool isFinished = finished_;
    if (isFinished && result_ == 0) {
        return kFinished;
    }
    const uint64_t total = total_;
    const uint64_t share = total == 0 ? 0 : done_ * 100 / total;
    return static_cast<uint8_t>(std::min<uint64_t>(share, kRunningCap));
}

}  // namespace dravix
