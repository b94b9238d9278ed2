#include "dsp/recorderParameters.h"

#include <cstring>

namespace dravix::recorderParameters {

std::array<uint8_t, 4> dateBytes(std::chrono::system_clock::time_point time) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(time.time_since_epoch());
    const auto low = static_cast<uint32_t>(static_cast<uint64_t>(seconds.count()));
    return {static_cast<uint8_t>(low >> 24), static_cast<uint8_t>(low >> 16),
            static_cast<uint8_t>(low >> 8), static_cast<uint8_t>(low)};
}

std::optional<std::vector<uint8_t>> commandFrame(const char* text, std::size_t length) {
    if (length > kMaxCommandText) {
        return std::nullopt;
    }
    const std::size_t markerLength = std::strlen(kEndOfCommand);
    const std::size_t framed = (length + markerLength + 1 + 3) / 4 * 4;
    std::vector<uint8_t> frame(framed, 0);
    if (length > 0) {
        std::memcpy(frame.data(), text, length);
    }
    std::memcpy(frame.data() + length, kEndOfCommand, markerLength);
    return frame;
}

}  // namespace dravix::recorderParameters
