#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace dravix::platform {

// The key that identifies the device of a V4L2 node, built from sysfs. Keys are at most
// kMaxLength characters long, never contain a '#', and differ between all nodes that are present
// at the same time:
// - a node of a USB device: the device's port path ("3-1.4"), which stays the same when the
//   camera is plugged into the same port again; when the port path is too long, the bus and
//   device numbers ("b3d17"), which are unique while the device stays plugged in;
// - a second or later capture node of the same USB device (a camera with several video
//   streams): the same, followed by "@" and the node's index within the device;
// - a node of any other device: the node's name ("video4").
class v4l2DeviceKey {
  public:
    static constexpr std::size_t kMaxLength = 16;

    // The key of the node whose class device directory (…/video4linux/videoN) is `classDevice`;
    // empty when that is empty.
    static std::string of(const std::filesystem::path& classDevice);
};

}  // namespace dravix::platform
