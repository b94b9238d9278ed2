#include "emu/emulatedInterrupts.h"

#include <utility>

namespace dravix::emu {

emulatedInterrupts::emulatedInterrupts(const emulatedIdentity& switches, interruptSender send)
    : switches_(switches), send_(std::move(send)) {}

emulatedInterrupts::interruptData emulatedInterrupts::statusData(uint8_t source, uint32_t mask) {
    interruptData data{};
    data[0] = source;
    for (int i = 0; i < 4; ++i) {
        data[1 + i] = static_cast<uint8_t>(mask >> (24 - 8 * i));
    }
    return data;
}

bool emulatedInterrupts::passes(uint8_t source) const {
    if (!switches_.controllerInterrupts()) {
        return false;
    }
    return source != kHead || (switches_.headInterrupts() && switches_.headPower());
}

bool emulatedInterrupts::raise(uint8_t source, uint32_t mask, std::chrono::milliseconds delay) {
    return send(kStatusType, statusData(source, mask), delay);
}

bool emulatedInterrupts::send(uint8_t type, const interruptData& data,
                              std::chrono::milliseconds delay) {
    if (!passes(data[0])) {
        return false;
    }
    send_(type, data, delay);
    return true;
}

}  // namespace dravix::emu
