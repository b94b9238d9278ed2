#include "emu/emulatedDsp.h"

#include <algorithm>
#include <random>
#include <stdexcept>

#include "emu/emulatedDspFunctions.h"

namespace dravix::emu {

namespace {

constexpr uint8_t kFlipCode = 0x1E;

int offsetOf(const commandPayload& payload) {
    return payload[1] << 8 | payload[2];
}

const emulatedDspFunction* findFunction(uint8_t code) {
    for (const emulatedDspFunction& entry : kEmulatedDspFunctions) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

emulatedDsp::emulatedDsp(std::function<void(bool)> onVerticalFlip)
    : onVerticalFlip_(std::move(onVerticalFlip)) {
    for (const emulatedDspFunction& entry : kEmulatedDspFunctions) {
        blocks_[entry.code].assign(std::max(entry.answeredBytes, entry.acceptedBytes), 0);
    }
}

commandReply emulatedDsp::get(const commandPayload& payload) {
    const uint8_t code = payload[0];
    const int offset = offsetOf(payload);
    const emulatedDspFunction* function = findFunction(code);
    if (function == nullptr || offset >= function->answeredBytes) {
        return refused();
    }
    commandReply reply;
    reply.payload[0] = code;
    const int count = std::min(kMostAnswered, function->answeredBytes - offset);
    std::lock_guard<std::mutex> lock(mutex_);
    if (applyFault(code, reply)) {
        return reply;
    }
    const std::vector<uint8_t>& block = *blockOf(code);
    std::copy_n(block.begin() + offset, count, reply.payload.begin() + 1);
    return reply;
}

commandReply emulatedDsp::set(const commandPayload& payload) {
    const uint8_t code = payload[0];
    const int offset = offsetOf(payload);
    const emulatedDspFunction* function = findFunction(code);
    if (function == nullptr || offset >= function->acceptedBytes) {
        return refused();
    }
    // The request carries no length: the camera takes the bytes up to the end of the block.
    const int count = std::min(kMostAccepted, function->acceptedBytes - offset);
    uint8_t flipByte;
    commandReply reply;
    reply.payload[0] = code;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (applyFault(code, reply)) {
            return reply;
        }
        std::vector<uint8_t>& block = *blockOf(code);
        std::copy_n(payload.begin() + kHeader, count, block.begin() + offset);
        flipByte = block[0];
    }
    if (code == kFlipCode && onVerticalFlip_) {
        onVerticalFlip_((flipByte & 1) != 0);
    }
    return reply;
}

commandReply emulatedDsp::save(const commandPayload&) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++saves_;
    return commandReply{};
}

commandReply emulatedDsp::calibration(const commandPayload& payload) {
    std::lock_guard<std::mutex> lock(mutex_);
    calibration_ = {payload[0], payload[1]};
    return commandReply{};
}

std::vector<uint8_t> emulatedDsp::dspBlock(uint8_t code) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = blocks_.find(code);
    if (found == blocks_.end()) {
        throw std::invalid_argument("emulatedDsp::dspBlock: unknown function");
    }
    return found->second;
}

void emulatedDsp::setDspBlock(uint8_t code, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t>* block = blockOf(code);
    if (block == nullptr || bytes.size() > block->size()) {
        throw std::invalid_argument("emulatedDsp::setDspBlock: unknown function or too long");
    }
    std::fill(std::copy(bytes.begin(), bytes.end(), block->begin()), block->end(), 0);
}

int emulatedDsp::saveCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return saves_;
}

void emulatedDsp::fillRandom(uint32_t seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> byte(0, 0xFF);
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& entry : blocks_) {
        std::generate(entry.second.begin(), entry.second.end(),
                      [&] { return static_cast<uint8_t>(byte(generator)); });
    }
}

void emulatedDsp::setFailingCode(uint8_t code, uint8_t status) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (status == replyStatus::success) {
        failingCodes_.erase(code);
    } else {
        failingCodes_[code] = status;
    }
}

void emulatedDsp::setEchoForCode(uint8_t code, uint8_t echo) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (echo == code) {
        echoes_.erase(code);
    } else {
        echoes_[code] = echo;
    }
}

// A failing code changes nothing in the store; a wrong echo answers with the request's data
// unused, as for another function.
bool emulatedDsp::applyFault(uint8_t code, commandReply& reply) const {
    if (auto failing = failingCodes_.find(code); failing != failingCodes_.end()) {
        reply = commandReply{};
        reply.status = failing->second;
        return true;
    }
    if (auto echo = echoes_.find(code); echo != echoes_.end()) {
        reply = commandReply{};
        reply.payload[0] = echo->second;
        return true;
    }
    return false;
}

std::pair<uint8_t, uint8_t> emulatedDsp::lastCalibration() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calibration_;
}

commandReply emulatedDsp::refused() {
    commandReply reply;
    reply.status = replyStatus::badArgument;
    return reply;
}

std::vector<uint8_t>* emulatedDsp::blockOf(uint8_t code) {
    auto found = blocks_.find(code);
    return found == blocks_.end() ? nullptr : &found->second;
}

}  // namespace dravix::emu
