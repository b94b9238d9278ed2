#pragma once

#include <memory>

#include "platform/combinedHidBackend.h"
#include "platform/combinedVideoBackend.h"
#include "platform/hid.h"
#include "platform/video.h"

namespace dravix {

// The HID and video backends the library's cameras use, assembled in one place: the system's
// devices first, then the emulated cameras (as many as DRAVIX_CAMEMU asks for, or a test sets
// through the emulator's control API; none otherwise, so the emulator then lists nothing).
class backendRegistry {
  public:
    backendRegistry();
    backendRegistry(const backendRegistry&) = delete;
    backendRegistry& operator=(const backendRegistry&) = delete;

    platform::hidBackend& hid() { return hid_; }
    platform::videoBackend& video() { return video_; }

  private:
    const std::unique_ptr<platform::hidBackend> systemHid_;
    const std::unique_ptr<platform::videoBackend> systemVideo_;
    platform::combinedHidBackend hid_;
    platform::combinedVideoBackend video_;
};

}  // namespace dravix
