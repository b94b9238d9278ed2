#include "emu/emulatedBlockFlash.h"

#include <algorithm>

#include "emu/emulatedReplyFate.h"

namespace dravix::emu {

namespace {

commandReply withStatus(uint8_t status) {
    commandReply reply;
    reply.status = status;
    return reply;
}

bool isBlockComponent(uint8_t component) {
    return component == 0 || component == 1 || component == 10;
}

}  // namespace

emulatedBlockFlash::emulatedBlockFlash(emulatedFeaturePort& features, std::function<void()> unplug)
    : features_(features), unplug_(std::move(unplug)) {}

bool emulatedBlockFlash::planned(uint8_t commandId, commandReply& reply) {
    if (!faults_.strike(commandId, unplug_)) {
        return false;
    }
    reply = withStatus(kStatusFailed);
    return true;
}

commandReply emulatedBlockFlash::start(const commandPayload& payload) {
    commandReply reply;
    if (planned(kCmdStart, reply)) {
        return reply;
    }
    const uint8_t component = payload[0];
    const uint32_t size = static_cast<uint32_t>(payload[1]) << 24 |
                          static_cast<uint32_t>(payload[2]) << 16 |
                          static_cast<uint32_t>(payload[3]) << 8 | payload[4];
    if (!isBlockComponent(component) || size == 0) {
        return withStatus(replyStatus::badArgument);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    update_ = update{true, component, std::vector<uint8_t>(size),
                     std::vector<bool>((size + kBlockSize - 1) / kBlockSize)};
    blocks_.clear();
    return reply;
}

commandReply emulatedBlockFlash::block(const commandPayload& payload) {
    const uint16_t number = static_cast<uint16_t>(payload[0] | payload[1] << 8);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        blocks_.push_back(number);
    }
    commandReply reply;
    if (planned(kCmdBlock, reply)) {
        return reply;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!update_.active) {
            return withStatus(kStatusIncomplete);
        }
        if (number >= update_.received.size()) {
            return withStatus(kStatusOutOfRange);
        }
    }
    features_.acceptWrite(kBlockReportId, [this, number](const uint8_t* data, std::size_t length) {
        store(number, data, length);
        return replyStatus::success;
    });
    return reply;
}

void emulatedBlockFlash::store(uint16_t number, const uint8_t* data, std::size_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!update_.active || number >= update_.received.size()) {
        return;
    }
    const std::size_t offset = number * kBlockSize;
    const std::size_t count = std::min({kBlockSize, update_.data.size() - offset, length});
    std::copy_n(data, count, update_.data.begin() + static_cast<std::ptrdiff_t>(offset));
    update_.received[number] = true;
}

commandReply emulatedBlockFlash::end(const commandPayload& payload) {
    commandReply reply;
    if (planned(kCmdEnd, reply)) {
        return reply;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    endByte_ = payload[0];
    if (!update_.active) {
        return withStatus(kStatusIncomplete);
    }
    update_.active = false;
    if (std::find(update_.received.begin(), update_.received.end(), false) !=
        update_.received.end()) {
        return withStatus(kStatusIncomplete);
    }
    flash_[update_.component] = update_.data;
    requestRestart();
    return reply;
}

// Called with mutex_ held.
void emulatedBlockFlash::requestRestart() const {
    using afterwards = emulatedReplyFate::afterwards;
    switch (restart_) {
        case restart::none:
            break;
        case restart::afterReply:
            emulatedReplyFate::request({emulatedReplyFate::delivery::sent, afterwards::restarted});
            break;
        case restart::withoutReply:
            emulatedReplyFate::request(
                {emulatedReplyFate::delivery::dropped, afterwards::restarted});
            break;
    }
}

void emulatedBlockFlash::setRestartAfterEnd(restart how) {
    std::lock_guard<std::mutex> lock(mutex_);
    restart_ = how;
}

std::vector<uint8_t> emulatedBlockFlash::flash(uint8_t component) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = flash_.find(component);
    return found == flash_.end() ? std::vector<uint8_t>{} : found->second;
}

std::vector<uint16_t> emulatedBlockFlash::blocksReceived() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return blocks_;
}

uint8_t emulatedBlockFlash::lastEndByte() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return endByte_;
}

}  // namespace dravix::emu
