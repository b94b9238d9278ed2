#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/hid.h"

namespace dravix::platform {

// The HID interfaces of the system. hidapi's hidraw backend lists them, one entry per top-level
// collection of each hidraw node, in hidapi's order; open() opens the hidraw node itself
// (hidrawDevice), because hidapi's device calls share unlocked state between a reader and a
// writer thread. Each interface carries the usbDeviceKey of its node's USB device, found in
// sysfs below `hidrawClass`. Safe to use from several threads.
class hidapiBackend final : public hidBackend {
  public:
    explicit hidapiBackend(std::filesystem::path hidrawClass = "/sys/class/hidraw");

    // Only devices with exactly these ids are listed; 0 is not a wildcard.
    std::vector<hidInterfaceInfo> enumerate(uint16_t vendorId, uint16_t productId) override;
    // Null when the node cannot be opened for reading and writing or is not a hidraw node.
    std::unique_ptr<hidDevice> open(const std::string& path) override;

    // Frees hidapi's process-wide state (hid_exit); the next enumeration initialises it again.
    // Devices opened through open() do not use it and stay usable.
    static void releaseLibrary();

    // The key of the USB device of hidraw node `nodePath` ("/dev/hidraw3"); empty when sysfs
    // does not place it below one.
    std::string deviceKeyOf(const std::string& nodePath) const;

  private:
    const std::filesystem::path hidrawClass_;
};

}  // namespace dravix::platform
