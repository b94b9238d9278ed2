#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

namespace dravix::emu {

// Faults aimed at one occurrence of one command of a device model: the k-th time the model
// sees `key` (a command id, or an I2C register), it fails that step, unplugs the camera, leaves
// the command without a reply, holds its reply back, or answers it and is unplugged before the
// next command.
// Thread-safe.
class emulatedFaultPlan {
  public:
    enum class action {
        none,
        // The step fails: an error status, or a refused I2C access.
        fail,
        // The camera is unplugged while it handles the command; no reply comes.
        unplug,
        // The step fails and its command gets no reply at all: the host's reply wait runs out.
        timeOut,
        // The step succeeds and is answered; then the camera is unplugged, before any later
        // command reaches it.
        unplugAfterReply,
        // The step succeeds; its reply is kept back until emulatedCamera::releaseHeldReplies().
        holdReply,
    };

    // The `occurrence`-th (1 = the next) use of `key` counted from now takes `what`.
    void planAt(uint32_t key, int occurrence, action what);
    // Counts one use of `key`; what it is to do.
    action next(uint32_t key);
    // Counts one use of `key` and carries out what was planned for it: `unplug` unplugs the
    // camera, and the fate of the command's reply is requested (emulatedReplyFate). True when
    // the step itself is to fail.
    bool strike(uint32_t key, const std::function<void()>& unplug);
    // Planned faults not yet fired are dropped; strikes() keeps counting.
    void clear();
    // How many planned faults have fired since the plan was made.
    int strikes() const;

  private:
    mutable std::mutex mutex_;
    std::map<uint32_t, int> seen_;
    std::map<std::pair<uint32_t, int>, action> planned_;
    int strikes_ = 0;
};

}  // namespace dravix::emu
