#include "emu/recordingDsp.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace dravix::emu {

namespace {

bool fitsFunction(uint8_t code, int16_t length, bool write) {
    const dspFunctionSizes* sizes = findDspFunction(code);
    if (sizes == nullptr) {
        return false;
    }
    const int expected = write ? sizes->writeBytes : sizes->readBytes;
    return expected != 0 && length == expected;
}

}  // namespace

recordingDsp::recordingDsp(logger& log) : cameraDsp(log) {}

uint8_t recordingDsp::getDspFunction(uint8_t code, uint8_t* out, int16_t length,
                                     bool& conflicting) {
    conflicting = false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!fitsFunction(code, length, false) || failing_.count(code) != 0) {
        std::fill_n(out, std::max<int16_t>(length, 0), 0);
        accesses_.push_back({kind::read, code, {}});
        return 1;
    }
    std::vector<uint8_t>& stored = blocks_[code];
    stored.resize(std::max<std::size_t>(stored.size(), static_cast<std::size_t>(length)));
    std::copy_n(stored.begin(), length, out);
    accesses_.push_back({kind::read, code, std::vector<uint8_t>(out, out + length)});
    return 0;
}

uint8_t recordingDsp::setDspFunction(uint8_t code, const uint8_t* in, int16_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool fits = fitsFunction(code, length, true);
    accesses_.push_back(
        {kind::write, code, std::vector<uint8_t>(in, in + std::max<int16_t>(length, 0))});
    if (!fits || failing_.count(code) != 0) {
        return 1;
    }
    std::vector<uint8_t>& stored = blocks_[code];
    stored.resize(std::max<std::size_t>(stored.size(), static_cast<std::size_t>(length)));
    std::copy_n(in, length, stored.begin());
    return 0;
}

std::vector<uint8_t> recordingDsp::block(uint8_t code) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = blocks_.find(code);
    return found == blocks_.end() ? std::vector<uint8_t>{} : found->second;
}

void recordingDsp::setBlock(uint8_t code, std::vector<uint8_t> bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    blocks_[code] = std::move(bytes);
}

void recordingDsp::setFailing(uint8_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    failing_.insert(code);
}

void recordingDsp::notePause() {
    std::lock_guard<std::mutex> lock(mutex_);
    accesses_.push_back({kind::pause, 0, {}});
}

std::vector<recordingDsp::access> recordingDsp::accesses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return accesses_;
}

std::vector<recordingDsp::access> recordingDsp::writes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<access> writes;
    std::copy_if(accesses_.begin(), accesses_.end(), std::back_inserter(writes),
                 [](const access& a) { return a.what != kind::read; });
    return writes;
}

void recordingDsp::clearAccesses() {
    std::lock_guard<std::mutex> lock(mutex_);
    accesses_.clear();
}

}  // namespace dravix::emu
