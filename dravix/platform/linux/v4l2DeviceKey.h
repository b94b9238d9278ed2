#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "platform/linux/usbDeviceKey.h"

namespace dravix::platform {

// The key that identifies the device of a V4L2 node, built from sysfs. Keys are at most
// kMaxLength characters long, never contain a '#', and differ between all nodes that are present
// at the same time:
// - a node of a USB device: the device's usbDeviceKey, its port path ("3-1.4") or its bus and
//   device numbers ("b3d17");
// - a second or later capture node of the same USB device (a camera with several video
//   streams): the same, followed by "@" and the node's index within the device;
// - a node of any other device: the node's name ("video4").
class v4l2DeviceKey {
  public:
    static constexpr std::size_t kMaxLength = usbDeviceKey::kMaxLength;

    // The key of the node whose class device directory (…/video4linux/videoN) is `classDevice`;
    // empty when that is empty.
    static std::string of(const std::filesystem::path& classDevice);
};

}  // namespace dravix::platform
