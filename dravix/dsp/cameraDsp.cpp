#include "dsp/cameraDsp.h"

#include <algorithm>
#include <cstring>

namespace dravix {

namespace {

constexpr std::size_t kOffsetHeader = 3;  // code, offset high, offset low

std::array<uint8_t, fx3Hid::kMaxRequestPayload> requestHeader(uint8_t code, int offset) {
    std::array<uint8_t, fx3Hid::kMaxRequestPayload> request{};
    request[0] = code;
    request[1] = static_cast<uint8_t>(offset >> 8);
    request[2] = static_cast<uint8_t>(offset & 0xFF);
    return request;
}

}  // namespace

const dspFunctionSizes* findDspFunction(uint8_t code) {
    auto found = std::find_if(
        kDspFunctions.begin(), kDspFunctions.end(),
        [code](const dspFunctionSizes& entry) { return dspCode(entry.function) == code; });
    return found == kDspFunctions.end() ? nullptr : &*found;
}

cameraDsp::cameraDsp(logger& log) : log_(log) {}

cameraDsp::~cameraDsp() = default;

void cameraDsp::setHid(std::shared_ptr<fx3Hid> hid) {
    std::lock_guard<std::mutex> lock(hidMutex_);
    hid_ = std::move(hid);
}

std::shared_ptr<fx3Hid> cameraDsp::hid() const {
    std::lock_guard<std::mutex> lock(hidMutex_);
    return hid_;
}

uint8_t cameraDsp::setHvFlip(uint8_t horizontal, uint8_t vertical) {
    // Other values than 0 and 1 would reach into the neighbouring flag bits.
    return writeFlipByte(static_cast<uint8_t>((horizontal != 0) << 1 | (vertical != 0)));
}

uint8_t cameraDsp::setHvFlipByte(uint8_t value) {
    return writeFlipByte(value);
}

uint8_t cameraDsp::writeFlipByte(uint8_t value) {
    return setDspFunction(dspCode(DspFunction::HvFlip), &value, 1);
}

uint8_t cameraDsp::getDspFunction(uint8_t code, uint8_t* out, int16_t length) {
    bool conflicting = false;
    return getDspFunction(code, out, length, conflicting);
}

uint8_t cameraDsp::getDspFunction(uint8_t code, uint8_t* out, int16_t length, bool& conflicting) {
    static constexpr const char* kOperation = "cameraDsp::getDspFunction";
    conflicting = false;
    const std::shared_ptr<fx3Hid> hid = channel(kOperation);
    if (hid == nullptr || missingBuffer(kOperation, out, length)) {
        return 1;
    }
    const auto blocks = holdBlocks();
    return forEachChunk(kOperation, length, kReadChunk, [&](int offset, int chunk) {
        const uint8_t status = readChunk(*hid, code, offset, out + offset, chunk, conflicting);
        if (status != 0) {
            std::memset(out + offset, 0, static_cast<std::size_t>(length - offset));
        }
        return status;
    });
}

uint8_t cameraDsp::setDspFunction(uint8_t code, const uint8_t* in, int16_t length) {
    static constexpr const char* kOperation = "cameraDsp::setDspFunction";
    const std::shared_ptr<fx3Hid> hid = channel(kOperation);
    if (hid == nullptr || missingBuffer(kOperation, in, length)) {
        return 1;
    }
    const auto blocks = holdBlocks();
    return forEachChunk(kOperation, length, kWriteChunk, [&](int offset, int chunk) {
        return writeChunk(*hid, code, offset, in + offset, chunk);
    });
}

uint8_t cameraDsp::setHidCalibration(uint8_t mode, uint8_t value) {
    static constexpr const char* kOperation = "cameraDsp::setHidCalibration";
    const std::shared_ptr<fx3Hid> hid = channel(kOperation);
    if (hid == nullptr) {
        return 1;
    }
    const uint8_t request[] = {mode, value};
    const uint8_t status = hid->command(kCmdHidCalibration, request, sizeof request);
    if (status != 0) {
        log_.error("%s", kOperation);
    }
    return status;
}

uint8_t cameraDsp::saveDspSettings() {
    const std::shared_ptr<fx3Hid> hid = this->hid();
    if (hid == nullptr) {
        return 1;
    }
    const uint8_t request = 0;
    return hid->command(kCmdDspSave, &request, 1);
}

std::unique_lock<std::recursive_mutex> cameraDsp::holdBlocks() {
    return std::unique_lock<std::recursive_mutex>(blockMutex_);
}

std::shared_ptr<fx3Hid> cameraDsp::channel(const char* operation) {
    std::shared_ptr<fx3Hid> hid = this->hid();
    if (hid == nullptr) {
        log_.error("%s: HID not initialized", operation);
    }
    return hid;
}

bool cameraDsp::missingBuffer(const char* operation, const void* buffer, int16_t length) {
    if (buffer != nullptr || length <= 0) {
        return false;
    }
    log_.error("%s: no buffer for %d bytes", operation, length);
    return true;
}

template <typename Exchange>
uint8_t cameraDsp::forEachChunk(const char* operation, int16_t length, int chunkSize,
                                Exchange exchange) {
    bool failed = false;
    for (int offset = 0; offset < length; offset += chunkSize) {
        if (exchange(offset, std::min(chunkSize, length - offset)) != 0) {
            log_.error("%s", operation);
            failed = true;
        }
    }
    return failed ? 1 : 0;
}

uint8_t cameraDsp::readChunk(fx3Hid& hid, uint8_t code, int offset, uint8_t* out, int chunk,
                             bool& conflicting) {
    const auto request = requestHeader(code, offset);
    std::array<uint8_t, fx3Hid::kMaxReplyPayload> reply{};
    const uint8_t status = hid.command(kCmdDspGet, request.data(), kOffsetHeader, reply.data(),
                                       static_cast<std::size_t>(chunk) + 1);
    if (status != 0) {
        return status;
    }
    if (echoMatches("cameraDsp::getDspFunction", code, reply[0])) {
        std::memcpy(out, reply.data() + 1, static_cast<std::size_t>(chunk));
    } else {
        conflicting = true;
    }
    return status;
}

uint8_t cameraDsp::writeChunk(fx3Hid& hid, uint8_t code, int offset, const uint8_t* in, int chunk) {
    auto request = requestHeader(code, offset);
    std::memcpy(request.data() + kOffsetHeader, in, static_cast<std::size_t>(chunk));
    uint8_t echo = 0;
    const uint8_t status = hid.command(kCmdDspSet, request.data(),
                                       static_cast<uint8_t>(kOffsetHeader + chunk), &echo, 1);
    if (status == 0) {
        echoMatches("cameraDsp::setDspFunction", code, echo);
    }
    return status;
}

bool cameraDsp::echoMatches(const char* operation, uint8_t code, uint8_t echo) {
    if (echo == code) {
        return true;
    }
    log_.error("%s: conflicting type (predicted: 0x%02X, actual: 0x%02X)", operation, code, echo);
    return false;
}

}  // namespace dravix
