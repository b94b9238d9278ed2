#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

namespace dravix::emu {

// Faults aimed at one occurrence of one command of a device model: the k-th time the model
// sees `key` (a command id, or an I2C register), it fails that step or unplugs the camera.
// Thread-safe.
class emulatedFaultPlan {
  public:
    enum class action { none, fail, unplug };

    // The `occurrence`-th (1 = the next) use of `key` counted from now takes `what`.
    void planAt(uint32_t key, int occurrence, action what);
    // Counts one use of `key`; what it is to do.
    action next(uint32_t key);
    void clear();

  private:
    std::mutex mutex_;
    std::map<uint32_t, int> seen_;
    std::map<std::pair<uint32_t, int>, action> planned_;
};

}  // namespace dravix::emu
