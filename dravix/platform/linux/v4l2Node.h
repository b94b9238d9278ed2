#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace dravix::platform {

// One open V4L2 device node. Only character devices of the video4linux class are opened, so no
// other kind of node ever sees a V4L2 request. The destructor closes the node.
class v4l2Node final {
  public:
    // Opens the node at `path` for reading and writing, non-blocking. Null with `error` set to
    // -errno when that fails: -ENOENT for a missing node, -ENODEV for one that is not a V4L2 node.
    static std::unique_ptr<v4l2Node> open(const std::string& path, int& error);

    v4l2Node(int fd, dev_t device);
    ~v4l2Node();
    v4l2Node(const v4l2Node&) = delete;
    v4l2Node& operator=(const v4l2Node&) = delete;

    int fd() const { return fd_; }
    // Runs one ioctl on the node, repeating it when a signal interrupts it. 0 or -errno.
    int control(unsigned long request, void* argument) const;
    // The card name when the node captures single-planar video through streaming I/O; nothing
    // for other nodes, such as the metadata node that UVC adds to every camera.
    std::optional<std::string> captureCardName() const;
    // The node's class device in sysfs (…/video4linux/videoN); empty when sysfs does not know it.
    std::filesystem::path sysfsClassDevice() const;

  private:
    const int fd_;
    const dev_t device_;
};

}  // namespace dravix::platform
