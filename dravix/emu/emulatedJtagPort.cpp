#include "emu/emulatedJtagPort.h"

namespace dravix::emu {

emulatedJtagPort::emulatedJtagPort(std::function<void()> unplug) : unplug_(std::move(unplug)) {}

bool emulatedJtagPort::claims(uint32_t reg) const {
    return reg == kControlRegister || reg == kDataRegister;
}

bool emulatedJtagPort::faulted(uint8_t reg) {
    return faults_.strike(reg, unplug_);
}

bool emulatedJtagPort::read(uint32_t reg, uint8_t* data, std::size_t length) {
    if (reg != kControlRegister || length != 1 || faulted(kControlRegister)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    ++statusReads_;
    data[0] = faultBits_ != 0 && stream_.size() >= faultAfter_ ? faultBits_ : 0;
    return true;
}

bool emulatedJtagPort::write(uint32_t reg, const uint8_t* data, std::size_t length) {
    if (!claims(reg) || length == 0 || faulted(static_cast<uint8_t>(reg))) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (reg == kControlRegister) {
        armed_ = data[0] == 0x01;
        stream_.clear();
        chunks_.clear();
        return true;
    }
    if (!armed_) {
        return false;
    }
    stream_.insert(stream_.end(), data, data + length);
    chunks_.push_back(length);
    return true;
}

void emulatedJtagPort::setStatusFault(uint8_t bits, std::size_t afterBytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    faultBits_ = bits;
    faultAfter_ = afterBytes;
}

void emulatedJtagPort::onHeadPowerOn() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (armed_ && !stream_.empty()) {
        loaded_ = stream_;
    }
    armed_ = false;
}

std::vector<uint8_t> emulatedJtagPort::stream() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stream_;
}

std::vector<std::size_t> emulatedJtagPort::chunkSizes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return chunks_;
}

std::vector<uint8_t> emulatedJtagPort::loaded() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return loaded_;
}

int emulatedJtagPort::statusReads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return statusReads_;
}

}  // namespace dravix::emu
