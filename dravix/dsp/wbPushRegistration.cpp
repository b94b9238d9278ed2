#include "dsp/wbPushRegistration.h"

namespace dravix {

wbPushRegistration::ticket wbPushRegistration::store(WbPushCallback callback, void* user) {
    std::lock_guard<std::mutex> lock(mutex_);
    pair_ = {callback, user};
    current_ = ++issued_;
    return current_;
}

void wbPushRegistration::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    pair_ = {};
    current_ = ++issued_;
}

void wbPushRegistration::clearIf(ticket which) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_ == which) {
        pair_ = {};
        current_ = ++issued_;
    }
}

bool wbPushRegistration::isRegistered() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pair_.callback != nullptr;
}

void wbPushRegistration::callAndKeep() {
    pair registered;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        registered = pair_;
    }
    call(registered);
}

void wbPushRegistration::callOnce() {
    pair registered;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        registered = pair_;
        pair_ = {};
        current_ = ++issued_;
    }
    call(registered);
}

void wbPushRegistration::onStatusInterrupt(const uint8_t* data) {
    const uint8_t source = data[0];
    const uint32_t mask = static_cast<uint32_t>(data[1]) << 24 |
                          static_cast<uint32_t>(data[2]) << 16 |
                          static_cast<uint32_t>(data[3]) << 8 | data[4];
    if (source == kSourceFpga && (mask & kFpgaWbDone) != 0) {
        callAndKeep();
    }
    if ((mask & kSkipActions) != 0) {
        return;
    }
    if ((source == kSourceHead && (mask & kHeadWbDone) != 0) ||
        (source == kSourceFx3 && (mask & kFx3WbDone) != 0)) {
        callOnce();
    }
}

void wbPushRegistration::call(const pair& registered) {
    if (registered.callback != nullptr) {
        registered.callback(registered.user);
    }
}

}  // namespace dravix
