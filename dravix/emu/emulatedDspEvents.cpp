#include "emu/emulatedDspEvents.h"

#include "dsp/cameraDsp.h"
#include "emu/emulatedInterrupts.h"

namespace dravix::emu {

namespace {

constexpr uint8_t kFpgaSource = 0;
constexpr uint8_t kControllerSource = 2;

std::vector<uint8_t> defaultDefects() {
    std::vector<uint8_t> table;
    for (int i = 0; i < 16; ++i) {
        const int x = 16 * i + 1;
        const int y = 8 * i + 2;
        table.insert(table.end(), {static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(x),
                                   static_cast<uint8_t>(y >> 8), static_cast<uint8_t>(y)});
    }
    return table;
}

}  // namespace

emulatedDspEvents::emulatedDspEvents(emulatedDsp& dsp, interruptSender send)
    : dsp_(dsp), send_(std::move(send)), detected_(defaultDefects()) {}

emulatedDspEvents::interruptData emulatedDspEvents::statusData(uint8_t source, uint32_t mask) {
    return emulatedInterrupts::statusData(source, mask);
}

commandReply emulatedDspEvents::set(const commandPayload& payload) {
    const commandReply reply = dsp_.set(payload);
    if (reply.status != replyStatus::success) {
        return reply;
    }
    if (payload[0] == dspCode(DspFunction::WbPush)) {
        finishWhiteBalance();
    } else if (payload[0] == dspCode(DspFunction::DpcDetect)) {
        detectDefects();
    }
    return reply;
}

commandReply emulatedDspEvents::save(const commandPayload& payload) {
    const commandReply reply = dsp_.save(payload);
    if (reply.status == replyStatus::success && completionInterrupts()) {
        send_(kStatusInterrupt, statusData(kControllerSource, kSaveFinished),
              std::chrono::milliseconds(0));
    }
    return reply;
}

void emulatedDspEvents::setWbCompletion(std::optional<wbSource> source,
                                        std::chrono::milliseconds delay) {
    std::lock_guard<std::mutex> lock(mutex_);
    wbSource_ = source;
    wbDelay_ = delay;
}

void emulatedDspEvents::setCompletionInterrupts(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    completionInterrupts_ = on;
}

bool emulatedDspEvents::completionInterrupts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return completionInterrupts_;
}

void emulatedDspEvents::setDetectedDefects(const std::vector<uint8_t>& table) {
    std::lock_guard<std::mutex> lock(mutex_);
    detected_ = table;
}

void emulatedDspEvents::finishWhiteBalance() {
    std::optional<wbSource> source;
    std::chrono::milliseconds delay{0};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        source = wbSource_;
        delay = wbDelay_;
    }
    if (!source) {
        return;
    }
    static constexpr uint32_t kDoneBits[] = {kFpgaWbDone, kHeadWbDone, kControllerWbDone};
    const auto number = static_cast<uint8_t>(*source);
    send_(kStatusInterrupt, statusData(number, kDoneBits[number]), delay);
}

void emulatedDspEvents::detectDefects() {
    std::vector<uint8_t> table;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        table = detected_;
    }
    dsp_.setDspBlock(dspCode(DspFunction::DpcTable), table);
    if (!completionInterrupts()) {
        return;
    }
    send_(kStatusInterrupt, statusData(kFpgaSource, kDpcDone), std::chrono::milliseconds(0));
}

}  // namespace dravix::emu
