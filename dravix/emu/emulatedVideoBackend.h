#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/video.h"

namespace dravix::emu {

class emulatedCameraSet;

// Video capture on the emulated cameras of a set, as the library sees real ones.
class emulatedVideoBackend : public platform::videoBackend {
  public:
    explicit emulatedVideoBackend(emulatedCameraSet& cameras);

    // The plugged cameras, by number.
    std::vector<platform::videoDeviceInfo> enumerate() override;
    // How often the host listed the devices, so that tests can wait for its polls.
    uint64_t enumerations() const { return enumerations_; }
    // -ENOENT for a path of no camera in the set, -ENODEV for an unplugged camera.
    std::unique_ptr<platform::videoCapture> bind(const std::string& devicePath,
                                                 int& error) override;

  private:
    emulatedCameraSet& cameras_;
    std::atomic<uint64_t> enumerations_{0};
};

}  // namespace dravix::emu
