#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "dravix/dravix.h"

namespace dravixctl {

// The cameras a command uses, opened through the public interface. The library gives the
// cameras slots in the order they are initialised and opened, so reaching camera N opens
// cameras 0 to N. The destructor closes them, destroys every slot it initialised and ends the
// library's session.
class cameraSession {
  public:
    cameraSession() = default;
    ~cameraSession();
    cameraSession(const cameraSession&) = delete;
    cameraSession& operator=(const cameraSession&) = delete;

    // The number of cameras the library finds.
    int cameraCount();
    // The number the last cameraCount() found.
    int found() const { return found_; }
    // Opens cameras 0 to `index`; throws commandFailed naming the camera and what to do.
    void openUpTo(int32_t index);
    // Closes camera `index` now (it cancels what runs on it, such as an update).
    void close(int32_t index);

    // The status record of camera `index` once the camera reported its identity, or the record
    // as it is `timeout` after the last camera was opened (one wait serves every camera).
    DeviceStatus statusOf(int32_t index, std::chrono::milliseconds timeout);
    // Whether camera `index` has reported its identity.
    bool identified(int32_t index);

  private:
    // The library's camera table has ten slots; more cameras than that cannot be reached.
    static constexpr int kSlots = 10;
    struct statusSlot {
        cameraSession* owner;
        int32_t index;
    };
    static int onStatus(DeviceStatus* status, void* user);
    // Initialises slot `index` (the library may give another) and remembers it for the
    // destructor; the library's result.
    int32_t initSlot(int32_t& index, uint8_t& count);

    std::mutex mutex_;
    std::condition_variable reported_;
    DeviceStatus status_[kSlots] = {};
    bool identified_[kSlots] = {};
    statusSlot slots_[kSlots] = {};
    std::vector<int32_t> open_;
    std::vector<int32_t> initialisedSlots_;
    bool initialised_ = false;
    int found_ = 0;
    std::chrono::steady_clock::time_point openedAt_;
};

}  // namespace dravixctl
