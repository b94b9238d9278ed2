#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/hid.h"

namespace dravix::emu {

class emulatedCameraSet;

// HID access to the emulated cameras of a set, as the library sees real ones.
class emulatedHidBackend : public platform::hidBackend {
  public:
    explicit emulatedHidBackend(emulatedCameraSet& cameras);

    // The collections of the plugged cameras, camera by camera; an id of 0 matches any.
    std::vector<platform::hidInterfaceInfo> enumerate(uint16_t vendorId,
                                                      uint16_t productId) override;
    std::unique_ptr<platform::hidDevice> open(const std::string& path) override;

  private:
    emulatedCameraSet& cameras_;
};

}  // namespace dravix::emu
