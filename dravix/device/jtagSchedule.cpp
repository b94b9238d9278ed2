#include "device/jtagSchedule.h"

#include <algorithm>

namespace dravix {

jtagSchedule::jtagSchedule(std::vector<jtagBinFile::pause> pauses, std::size_t streamLength)
    : pauses_(std::move(pauses)), streamLength_(streamLength) {}

std::vector<uint16_t> jtagSchedule::takeDuePauses(std::size_t sent) {
    std::vector<uint16_t> due;
    while (next_ < pauses_.size() && pauses_[next_].position / 2 <= sent) {
        if (pauses_[next_].position / 2 == sent) {
            due.push_back(pauses_[next_].delayMs);
        }
        ++next_;  // one already passed can't apply any more
    }
    return due;
}

std::size_t jtagSchedule::chunkLength(std::size_t sent) const {
    if (sent >= streamLength_) {
        return 0;
    }
    std::size_t length = std::min(kMaxChunk, streamLength_ - sent);
    if (next_ < pauses_.size()) {
        const std::size_t pauseAt = pauses_[next_].position / 2;
        if (pauseAt > sent) {
            length = std::min(length, pauseAt - sent);
        }
    }
    return length;
}

}  // namespace dravix
