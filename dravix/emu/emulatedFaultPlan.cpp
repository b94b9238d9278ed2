#include "emu/emulatedFaultPlan.h"

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
    return what;
}

void emulatedFaultPlan::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    planned_.clear();
}

}  // namespace dravix::emu
