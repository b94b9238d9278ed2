#include "dsp/cameraRec.h"

#include <algorithm>
#include <array>
#include <utility>

namespace dravix {

namespace {
constexpr const char* kOperation = "cameraRec::setRecFunc";
}  // namespace

cameraRec::cameraRec(logger& log, channelSource channel)
    : recorderLog_(log),
      channel_(std::move(channel)),
      clock_([] { return std::chrono::system_clock::now(); }) {}

cameraRec::~cameraRec() = default;

// A longer parameter block would be cut by the report, and the recorder would run what is left
// of it: it is refused whole.
uint8_t cameraRec::setRecFunc(uint8_t code, const uint8_t* parameters, uint8_t count) {
    const std::shared_ptr<fx3Hid> hid = channel_();
    if (hid == nullptr) {
        recorderLog_.error("%s: HID not initialized", kOperation);
        return 1;
    }
    if (count > kMaxParameters) {
        recorderLog_.error("%s: %d parameter bytes don't fit one report (at most %d)", kOperation,
                           count, kMaxParameters);
        return 1;
    }
    if (parameters == nullptr && count > 0) {
        recorderLog_.error("%s: no parameter bytes", kOperation);
        return 1;
    }
    std::array<uint8_t, fx3Hid::kMaxRequestPayload> request{};
    request[0] = code;
    request[1] = count;
    std::copy_n(parameters, count, request.begin() + 2);
    const uint8_t status = hid->command(
        kCmdRecFunc, request.data(), static_cast<uint8_t>(count + 2), nullptr, 0, kReplyTimeoutMs);
    if (status != 0) {
        recorderLog_.error("%s", kOperation);
    }
    return status;
}

std::chrono::system_clock::time_point cameraRec::now() const {
    std::lock_guard<std::mutex> lock(clockMutex_);
    return clock_();
}

void cameraRec::setClock(clock source) {
    std::lock_guard<std::mutex> lock(clockMutex_);
    clock_ = std::move(source);
}

}  // namespace dravix
