#include "emu/emulatedFaultPlan.h"

#include "emu/emulatedReplyFate.h"

namespace dravix::emu {

void emulatedFaultPlan::planAt(uint32_t key, int occurrence, action what) {
    std::lock_guard<std::mutex> lock(mutex_);
    planned_[{key, seen_[key] + occurrence}] = what;
}

emulatedFaultPlan::action emulatedFaultPlan::next(uint32_t key) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int count = ++seen_[key];
    const auto found = planned_.find({key, count});
    if (found == planned_.end()) {
        return action::none;
    }
    const action what = found->second;
    planned_.erase(found);
    ++strikes_;
    return what;
}

bool emulatedFaultPlan::strike(uint32_t key, const std::function<void()>& unplug) {
    using afterwards = emulatedReplyFate::afterwards;
    switch (next(key)) {
        case action::none:
            return false;
        case action::fail:
            return true;
        case action::unplug:
            unplug();
            return true;
        case action::timeOut:
            emulatedReplyFate::request({emulatedReplyFate::delivery::dropped, afterwards::stays});
            return true;
        case action::unplugAfterReply:
            emulatedReplyFate::request({emulatedReplyFate::delivery::sent, afterwards::unplugged});
            return false;
        case action::holdReply:
            emulatedReplyFate::request({emulatedReplyFate::delivery::held, afterwards::stays});
            return false;
    }
    return false;
}

void emulatedFaultPlan::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    planned_.clear();
}

int emulatedFaultPlan::strikes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return strikes_;
}

}  // namespace dravix::emu
