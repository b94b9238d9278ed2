#include "emu/emulatedWireRecorder.h"

namespace dravix::emu {

void emulatedWireRecorder::start() {
    recording_ = true;
}

void emulatedWireRecorder::stop() {
    recording_ = false;
}

void emulatedWireRecorder::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.clear();
}

std::vector<wireRecord> emulatedWireRecorder::records() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
}

void emulatedWireRecorder::add(wireKind kind, const uint8_t* bytes, std::size_t length) {
    if (!recording_) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back({kind, std::vector<uint8_t>(bytes, bytes + length)});
}

}  // namespace dravix::emu
