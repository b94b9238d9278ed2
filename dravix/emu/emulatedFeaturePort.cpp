#include "emu/emulatedFeaturePort.h"

#include <algorithm>
#include <cerrno>

namespace dravix::emu {

void emulatedFeaturePort::serveRead(uint8_t reportId, const uint8_t* data, std::size_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    readData_.fill(0);
    readData_[0] = reportId;
    std::copy_n(data, std::min(length, kDataSize), readData_.begin() + 1);
    phase_ = phase::read;
    reportId_ = reportId;
    sink_ = nullptr;
    outcome_ = 0;
    outcomeFate_ = emulatedReplyFate{};
}

void emulatedFeaturePort::acceptWrite(uint8_t reportId, writeSink sink) {
    std::lock_guard<std::mutex> lock(mutex_);
    phase_ = phase::write;
    reportId_ = reportId;
    sink_ = std::move(sink);
    outcome_ = 0;
    outcomeFate_ = emulatedReplyFate{};
}

uint8_t emulatedFeaturePort::endTransfer() {
    std::lock_guard<std::mutex> lock(mutex_);
    phase_ = phase::none;
    sink_ = nullptr;
    uint8_t outcome = outcome_;
    outcome_ = 0;
    outcomeFate_ = emulatedReplyFate{};
    return outcome;
}

uint8_t emulatedFeaturePort::answerEndTransfer() {
    emulatedReplyFate fate;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fate = outcomeFate_;
    }
    const uint8_t outcome = endTransfer();
    emulatedReplyFate::request(fate);
    return outcome;
}

void emulatedFeaturePort::setFailing(bool failing) {
    std::lock_guard<std::mutex> lock(mutex_);
    failing_ = failing;
}

int emulatedFeaturePort::get(uint8_t* report, std::size_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (int refused = admit(phase::read, report, length)) {
        return refused;
    }
    std::size_t size = std::min(length, kReportSize);
    std::copy_n(readData_.begin(), size, report);
    phase_ = phase::none;
    return static_cast<int>(size);
}

int emulatedFeaturePort::set(const uint8_t* report, std::size_t length) {
    writeSink sink;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (int refused = admit(phase::write, report, length)) {
            return refused;
        }
        sink = std::move(sink_);
        sink_ = nullptr;
        phase_ = phase::none;
    }
    // A report shorter than the full feature report arrives zero-padded, as on the bus.
    std::array<uint8_t, kDataSize> data{};
    std::size_t size = std::min(length, kReportSize);
    std::copy_n(report + 1, size - 1, data.begin());
    emulatedReplyFate::take();
    uint8_t outcome = sink ? sink(data.data(), data.size()) : 0;
    const emulatedReplyFate fate = emulatedReplyFate::take();
    std::lock_guard<std::mutex> lock(mutex_);
    outcome_ = outcome;
    outcomeFate_ = fate;
    return static_cast<int>(size);
}

int emulatedFeaturePort::admit(phase direction, const uint8_t* report, std::size_t length) const {
    if (failing_) {
        return -EIO;
    }
    if (length == 0 || report == nullptr) {
        return -EINVAL;
    }
    // Outside its phase, or under another report id, the device stalls the control transfer.
    if (phase_ != direction || report[0] != reportId_) {
        return -EPIPE;
    }
    return 0;
}

}  // namespace dravix::emu
