#include "platform/linux/v4l2Node.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace dravix::platform {
namespace {

std::filesystem::path classDeviceOf(dev_t device) {
    const std::string link =
        "/sys/dev/char/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    std::error_code error;
    std::filesystem::path classDevice = std::filesystem::canonical(link, error);
    return error ? std::filesystem::path() : classDevice;
}

// Other character devices give V4L2 request numbers other meanings; only video4linux nodes are
// ever opened.
bool isV4l2Node(const struct stat& status) {
    if (!S_ISCHR(status.st_mode)) {
        return false;
    }
    const std::filesystem::path classDevice = classDeviceOf(status.st_rdev);
    std::error_code error;
    const std::filesystem::path subsystem =
        std::filesystem::read_symlink(classDevice / "subsystem", error);
    return !classDevice.empty() && !error && subsystem.filename() == "video4linux";
}

// Whether `fd` is still the node that was checked by path, in case the path was replaced
// between the check and the open.
bool isSameNode(int fd, const struct stat& checked) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISCHR(status.st_mode) &&
           status.st_rdev == checked.st_rdev;
}

uint32_t effectiveCapabilities(const v4l2_capability& capability) {
    return (capability.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? capability.device_caps
                                                                 : capability.capabilities;
}

}  // namespace

std::unique_ptr<v4l2Node> v4l2Node::open(const std::string& path, int& error) {
    // A path with an embedded NUL would name a different node.
    if (path.find('\0') != std::string::npos) {
        error = -EINVAL;
        return nullptr;
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        error = -errno;
        return nullptr;
    }
    if (!isV4l2Node(status)) {
        error = -ENODEV;
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = -errno;
        return nullptr;
    }
    auto node = std::make_unique<v4l2Node>(fd, status.st_rdev);
    if (!isSameNode(fd, status)) {
        error = -ENODEV;
        return nullptr;
    }
    error = 0;
    return node;
}

v4l2Node::v4l2Node(int fd, dev_t device) : fd_(fd), device_(device) {}

v4l2Node::~v4l2Node() {
    ::close(fd_);
}

int v4l2Node::control(unsigned long request, void* argument) const {
    int result = ::ioctl(fd_, request, argument);
    while (result < 0 && errno == EINTR) {
        result = ::ioctl(fd_, request, argument);
    }
    return result < 0 ? -errno : 0;
}

std::optional<std::string> v4l2Node::captureCardName() const {
    v4l2_capability capability{};
    if (control(VIDIOC_QUERYCAP, &capability) != 0) {
        return std::nullopt;
    }
    constexpr uint32_t kNeeded = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    if ((effectiveCapabilities(capability) & kNeeded) != kNeeded) {
        return std::nullopt;
    }
    // The card field is NUL-terminated unless the name fills it.
    const char* card = reinterpret_cast<const char*>(capability.card);
    return std::string(card, ::strnlen(card, sizeof(capability.card)));
}

std::filesystem::path v4l2Node::sysfsClassDevice() const {
    return classDeviceOf(device_);
}

}  // namespace dravix::platform
