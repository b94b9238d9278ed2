#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace dravix::platform {

// The key of a USB device, built from sysfs: the device's port path ("3-1.4"), which stays the
// same when the device is plugged into the same port again; when the port path is too long, the
// bus and device numbers ("b3d17"), which are unique while the device stays plugged in. Every
// node of one device (its video nodes, its hidraw nodes) finds the same key, which pairs a
// camera's video device with its HID interface.
class usbDeviceKey {
  public:
    static constexpr std::size_t kMaxLength = 16;

    // The USB device that the class device `classDevice` (…/video4linux/video0,
    // …/hidraw/hidraw3) belongs to: the nearest directory above its device with a bus and a
    // device number. USB interfaces, which the nodes hang from, have neither.
    static std::optional<std::filesystem::path> deviceAbove(
        const std::filesystem::path& classDevice);
    // The key of `usbDevice` followed by `suffix`, at most kMaxLength characters and without a
    // '#'; nothing when not even the numbers fit.
    static std::optional<std::string> of(const std::filesystem::path& usbDevice,
                                         const std::string& suffix = {});
    // The key of the USB device of `classDevice`; empty when it belongs to none.
    static std::string ofClassDevice(const std::filesystem::path& classDevice);

    // The first word of a sysfs attribute, when it is a decimal number.
    static std::optional<std::string> readNumber(const std::filesystem::path& attribute);
};

}  // namespace dravix::platform
