#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "emu/emulatedCamera.h"
#include "platform/hid.h"

namespace dravix::emu {

// An open handle on an emulated camera's HID interface. It shares ownership of the camera, so
// it stays safe to use after the camera left its set: it then fails every call with -ENODEV,
// as it does once the camera is unplugged. Thread-safe.
class emulatedHidDevice : public platform::hidDevice {
  public:
    emulatedHidDevice(std::shared_ptr<emulatedCamera> camera, uint64_t session);

    int writeReport(const uint8_t* report, std::size_t length, int timeoutMs) override;
    int readReport(uint8_t* buffer, std::size_t size, int timeoutMs) override;
    int sendFeatureReport(const uint8_t* report, std::size_t length) override;
    int getFeatureReport(uint8_t* report, std::size_t length) override;

  private:
    const std::shared_ptr<emulatedCamera> camera_;
    const uint64_t session_;
};

}  // namespace dravix::emu
