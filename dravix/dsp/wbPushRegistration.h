#pragma once

#include <array>
#include <cstdint>
#include <mutex>

#include "dravix/dravix.h"

namespace dravix {

// The white-balance push callback of one camera with its user value. The client's thread
// registers and clears it; the interrupt thread calls it when a white balance finishes. The pair
// is read and written as one under a lock and always called outside it, so a call never sees a
// new callback with an old user value, and the callback may register again.
class wbPushRegistration {
  public:
    // Number of one registration, to clear it later only if it is still the current one.
    using ticket = uint64_t;

    // Interrupt sources and the event bits that end a white balance.
    static constexpr uint8_t kSourceFpga = 0;
    static constexpr uint8_t kSourceHead = 1;
    static constexpr uint8_t kSourceFx3 = 2;
    static constexpr uint32_t kFpgaWbDone = 1u << 6;
    static constexpr uint32_t kHeadWbDone = 1u << 5;
    static constexpr uint32_t kFx3WbDone = 1u << 4;
    // Set in a mask, it skips the actions of the head and controller sources.
    static constexpr uint32_t kSkipActions = 1u << 15;

    ticket store(WbPushCallback callback, void* user);
    void clear();
    // Clears the pair only while it is still registration `which`.
    void clearIf(ticket which);
    bool isRegistered() const;

    // Calls the callback, if any, and keeps it (the FPGA's completion).
    void callAndKeep();
    // Takes the callback, if any, and calls it once (the head's and the controller's completion).
    void callOnce();
    // Applies the white-balance rules to one status interrupt: `data` is the report's source byte
    // followed by its 32-bit event mask, most significant byte first.
    void onStatusInterrupt(const uint8_t* data);

  private:
    struct pair {
        WbPushCallback callback = nullptr;
        void* user = nullptr;
    };
    static void call(const pair& registered);

    mutable std::mutex mutex_;
    pair pair_;
    ticket current_ = 0;
    ticket issued_ = 0;
};

}  // namespace dravix
