#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/video.h"

namespace dravix::platform {

// The V4L2 capture devices of the system: every node named videoN in the device directory that
// captures single-planar video through streaming I/O, in the order of the node numbers. Other
// nodes, such as the metadata node that UVC adds to every camera, are left out. Device paths
// have the form of v4l2DevicePath. Safe to use from several threads.
class v4l2Backend final : public videoBackend {
  public:
    explicit v4l2Backend(std::filesystem::path deviceDirectory = "/dev");

    // Nodes that cannot be opened (no permission, unplugged meanwhile) are left out.
    std::vector<videoDeviceInfo> enumerate() override;
    // -EINVAL for a path that is not of this backend; -ENOENT when the node is gone; -ENODEV
    // when the node is no capture node or now belongs to another device than the path's key;
    // other errors of open() as they come.
    std::unique_ptr<videoCapture> bind(const std::string& devicePath, int& error) override;

  private:
    const std::filesystem::path deviceDirectory_;
};

}  // namespace dravix::platform
