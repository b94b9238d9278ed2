#include "frameRing.h"

#include <thread>

#include "frameFormats.h"

frameRing& frameRing::shared() {
    static frameRing ring;
    return ring;
}

int64_t frameRing::pack(format f) {
    return (int64_t{f.width} << 32) | static_cast<uint32_t>(f.height);
}

frameRing::format frameRing::unpack(int64_t packed) {
    return {static_cast<int32_t>(packed >> 32), static_cast<int32_t>(packed & 0xffffffff)};
}

void frameRing::store(const uint8_t* frame, int64_t bytes) {
    frameCount_.fetch_add(1);  // every call is a sign of life, even a dropped frame
    if (exiting_.load() || frame == nullptr) {
        return;
    }
    const format f = acceptedFormat(bytes);
    if (f.width == 0) {
        return;
    }
    const int slot = beginWrite();
    if (slot == kNone) {
        return;
    }
    cv::Mat(f.height, f.width, CV_8UC2, const_cast<uint8_t*>(frame)).copyTo(slots_[slot]);
    writing_.store(kNone);
    newest_.store(slot);
}

frameRing::format frameRing::acceptedFormat(int64_t bytes) {
    format f = unpack(format_.load());
    if (f.width == 0) {
        const frameFormats::size known = frameFormats::forByteCount(bytes);
        if (known.width == 0) {
            return {0, 0};
        }
        f = {known.width, known.height};
        format_.store(pack(f));
    }
    if (bytes != int64_t{f.width} * f.height * 2) {
        return {0, 0};
    }
    return f;
}

int frameRing::beginWrite() {
    int slot = (newest_.load() + 1) % kSlots;
    writing_.store(slot);
    if (reading_.load() == slot) {
        slot = (slot + 1) % kSlots;
        writing_.store(slot);
    }
    // Checked after announcing the slot, so that allocate() either sees the write or is seen.
    if (!allocated_.load()) {
        writing_.store(kNone);
        return kNone;
    }
    return slot;
}

void frameRing::startTaking() {
    exiting_.store(false);
}

void frameRing::stopTaking() {
    exiting_.store(true);
    allocated_.store(false);
}

void frameRing::clearFormat() {
    format_.store(0);
}

frameRing::format frameRing::currentFormat() const {
    return unpack(format_.load());
}

void frameRing::allocate() {
    allocated_.store(false);
    // A frame that was being stored before the switch finishes within one copy.
    while (writing_.load() != kNone) {
        std::this_thread::yield();
    }
    const format f = currentFormat();
    for (cv::Mat& slot : slots_) {
        slot = cv::Mat::zeros(f.height, f.width, CV_8UC2);
    }
    allocated_.store(true);
}

bool frameRing::allocated() const {
    return allocated_.load();
}

int frameRing::newestIndex() const {
    return newest_.load();
}

int frameRing::frameCount() const {
    return frameCount_.load();
}

void frameRing::resetFrameCount() {
    frameCount_.store(0);
}

bool frameRing::claim(int index) {
    if (index < 0 || index >= kSlots) {
        return false;
    }
    reading_.store(index);
    if (writing_.load() == index) {
        reading_.store(kNone);
        return false;
    }
    return true;
}

const cv::Mat& frameRing::claimed() const {
    static const cv::Mat kNothing;
    const int index = reading_.load();
    return index == kNone ? kNothing : slots_[index];
}

void frameRing::release() {
    reading_.store(kNone);
}
