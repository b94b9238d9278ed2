#include "emu/emulatedRecorder.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "emu/emulatedInterrupts.h"

namespace dravix::emu {

namespace {

constexpr uint8_t kStart = 0x01;
constexpr uint8_t kStop = 0x02;
constexpr uint8_t kCapture = 0x03;
constexpr uint8_t kReboot = 0x41;
constexpr uint8_t kSetDate = 0x43;
constexpr uint8_t kSetCommand = 0x44;
constexpr uint8_t kSetDebugMode = 0x45;
// Parameter bytes that fit the 62 data bytes after code and count.
constexpr uint8_t kMaxParameters = 60;

// What a function takes: one zero byte, one byte of any value, the 4 date bytes, or a framed text.
enum class shape { none, plain, value, date, text };

shape shapeOf(uint8_t code) {
    switch (code) {
        case kStart:
        case kStop:
        case kCapture:
        case 0x40:  // update
        case kReboot:
        case 0x42:  // explorer
        case 0x46:  // OSD recording
        case 0x47:  // copy the log file
        case 0x48:  // prepare the USB drive
        case 0x49:  // reinitialise the OSD
            return shape::plain;
        case kSetDebugMode:
            return shape::value;
        case kSetDate:
            return shape::date;
        case kSetCommand:
            return shape::text;
        default:
            return shape::none;
    }
}

// The text of a command frame: the characters before "EOC", which at least one zero byte follows
// up to the smallest multiple of 4 that holds them all. None when the frame is malformed.
std::optional<std::string> unframedText(const uint8_t* frame, uint8_t count) {
    static constexpr uint8_t kMarker[] = {'E', 'O', 'C'};
    std::size_t end = count;
    while (end > 0 && frame[end - 1] == 0) {
        --end;
    }
    if (end == count || end < sizeof kMarker ||
        !std::equal(std::begin(kMarker), std::end(kMarker), frame + end - sizeof kMarker)) {
        return std::nullopt;
    }
    const std::size_t length = end - sizeof kMarker;
    if (count != (length + sizeof kMarker + 1 + 3) / 4 * 4 ||
        std::find(frame, frame + length, 0) != frame + length) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(frame), length);
}

bool wellFormed(uint8_t code, const uint8_t* parameters, uint8_t count) {
    switch (shapeOf(code)) {
        case shape::plain:
            return count == 1 && parameters[0] == 0;
        case shape::value:
            return count == 1;
        case shape::date:
            return count == 4;
        case shape::text:
            return count <= kMaxParameters && unframedText(parameters, count).has_value();
        case shape::none:
            break;
    }
    return false;
}

}  // namespace

emulatedRecorder::emulatedRecorder(interruptSender send) : send_(std::move(send)) {}

commandReply emulatedRecorder::handle(const commandPayload& payload) {
    const uint8_t code = payload[0];
    const uint8_t count = payload[1];
    const uint8_t* parameters = payload.data() + 2;
    commandReply reply;
    uint32_t events = 0;
    std::chrono::milliseconds delay{0};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!fitted_) {
            reply.status = replyStatus::notImplemented;
            return reply;
        }
        if (!wellFormed(code, parameters, count)) {
            reply.status = replyStatus::badArgument;
            return reply;
        }
        events = apply(code, parameters, count);
        delay = code == kReboot ? bootTime_ : std::chrono::milliseconds(0);
    }
    report(events, delay);
    return reply;
}

uint32_t emulatedRecorder::apply(uint8_t code, const uint8_t* parameters, uint8_t count) {
    ++calls_[code];
    state_.lastCode = code;
    switch (code) {
        case kStart:
            state_.recording = true;
            return kStarted;
        case kStop:
            state_.recording = false;
            return kStopped;
        case kCapture:
            ++state_.captures;
            return kCaptured;
        case kReboot:
            state_.recording = false;
            ++state_.reboots;
            return kBooted;
        case kSetDate:
            state_.date = static_cast<uint32_t>(parameters[0]) << 24 |
                          static_cast<uint32_t>(parameters[1]) << 16 |
                          static_cast<uint32_t>(parameters[2]) << 8 | parameters[3];
            return 0;
        case kSetCommand:
            state_.command = *unframedText(parameters, count);
            return 0;
        case kSetDebugMode:
            state_.debugMode = parameters[0];
            return 0;
        default:
            return 0;
    }
}

void emulatedRecorder::report(uint32_t mask, std::chrono::milliseconds delay) {
    if (mask != 0) {
        send_(emulatedInterrupts::kStatusType,
              emulatedInterrupts::statusData(emulatedInterrupts::kRecorder, mask), delay);
    }
}

void emulatedRecorder::setFitted(bool fitted) {
    std::lock_guard<std::mutex> lock(mutex_);
    fitted_ = fitted;
}

void emulatedRecorder::setBootTime(std::chrono::milliseconds time) {
    std::lock_guard<std::mutex> lock(mutex_);
    bootTime_ = time;
}

void emulatedRecorder::setDriveConnected(bool connected) {
    uint32_t events = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!fitted_ || state_.driveConnected == connected) {
            return;
        }
        state_.driveConnected = connected;
        events = connected ? kDriveConnected : kDriveRemoved;
    }
    report(events, std::chrono::milliseconds(0));
}

emulatedRecorder::state emulatedRecorder::current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

uint32_t emulatedRecorder::calls(uint8_t code) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_[code];
}

}  // namespace dravix::emu
