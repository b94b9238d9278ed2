#include "video/frameExchange.h"

#include <utility>

namespace dravix {

void frameExchange::allocate(std::size_t capacity) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (frame& buffer : buffers_) {
        buffer.bytes.assign(capacity, 0);
        buffer.length = 0;
    }
    capacity_ = capacity;
    fresh_ = false;
}

void frameExchange::release() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (frame& buffer : buffers_) {
        std::vector<uint8_t>().swap(buffer.bytes);
        buffer.length = 0;
    }
    capacity_ = 0;
    fresh_ = false;
}

void frameExchange::publish() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::swap(writer_, ready_);
    fresh_ = true;
}

bool frameExchange::takeNewest() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!fresh_) {
        return false;
    }
    std::swap(reader_, ready_);
    fresh_ = false;
    return true;
}

}  // namespace dravix
