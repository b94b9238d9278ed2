#include "platform/linux/hidrawDevice.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <limits>
#include <system_error>

namespace dravix::platform {
namespace {

// Feature reports travel through ioctls that carry the length in the request's size field; a
// longer length would spill into the request number and name a different request.
constexpr std::size_t kMaxFeatureReportLength = (std::size_t{1} << _IOC_SIZEBITS) - 1;

// Reads and writes return their length as an int.
constexpr std::size_t kMaxTransferLength = std::numeric_limits<int>::max();

bool isValidReport(const uint8_t* report, std::size_t length, std::size_t maxLength) {
    return report != nullptr && length > 0 && length <= maxLength;
}

// sysfs names the subsystem of every character device; only hidraw nodes have hidraw's report
// semantics for read, write and the feature ioctls.
bool isHidrawNode(const struct stat& status) {
    if (!S_ISCHR(status.st_mode)) {
        return false;
    }
    const std::string subsystem = "/sys/dev/char/" + std::to_string(major(status.st_rdev)) + ":" +
                                  std::to_string(minor(status.st_rdev)) + "/subsystem";
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(subsystem, error);
    return !error && target.filename() == "hidraw";
}

bool isHidrawPath(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && isHidrawNode(status);
}

// Checks the opened node itself, in case the path was replaced between the check and the open.
bool isHidrawDescriptor(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && isHidrawNode(status);
}

// A signal that interrupts a write or an ioctl before it starts leaves nothing sent; repeat it.
template <typename Call>
auto retryingOnSignal(Call call) {
    auto result = call();
    while (result < 0 && errno == EINTR) {
        result = call();
    }
    return result;
}

int readResult(ssize_t result) {
    if (result > 0) {
        return static_cast<int>(result);
    }
    // End of file: no report will ever come again.
    if (result == 0) {
        return -ENODEV;
    }
    // Nothing to read after all: the same as a time-out.
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        return 0;
    }
    return -errno;
}

int writeResult(ssize_t result, std::size_t length) {
    if (result >= 0) {
        // hidraw sends a report whole or not at all; anything else is a fault.
        return static_cast<std::size_t>(result) == length ? static_cast<int>(result) : -EIO;
    }
    // The kernel cancelled a transfer that did not finish within its time-out, or the node
    // could not take the report now: nothing was sent, the device is still there.
    if (errno == ETIMEDOUT || errno == EAGAIN || errno == EWOULDBLOCK) {
        return 0;
    }
    return -errno;
}

int ioctlResult(int result) {
    return result >= 0 ? result : -errno;
}

}  // namespace

std::unique_ptr<hidrawDevice> hidrawDevice::open(const std::string& path) {
    // A path with an embedded NUL would name a different node.
    if (path.find('\0') != std::string::npos || !isHidrawPath(path)) {
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    auto device = std::make_unique<hidrawDevice>(fd);
    if (!isHidrawDescriptor(fd)) {
        return nullptr;
    }
    return device;
}

hidrawDevice::hidrawDevice(int fd) : fd_(fd) {}

hidrawDevice::~hidrawDevice() {
    ::close(fd_);
}

int hidrawDevice::writeReport(const uint8_t* report, std::size_t length, int /*timeoutMs*/) {
    if (!isValidReport(report, length, kMaxTransferLength)) {
        return -EINVAL;
    }
    std::lock_guard<std::mutex> lock(requestMutex_);
    return writeResult(retryingOnSignal([&] { return ::write(fd_, report, length); }), length);
}

int hidrawDevice::readReport(uint8_t* buffer, std::size_t size, int timeoutMs) {
    if (buffer == nullptr || size == 0) {
        return -EINVAL;
    }
    const int ready = waitForInput(std::max(timeoutMs, 0));
    if (ready <= 0) {
        return ready;
    }
    return readResult(::read(fd_, buffer, std::min(size, kMaxTransferLength)));
}

int hidrawDevice::sendFeatureReport(const uint8_t* report, std::size_t length) {
    if (!isValidReport(report, length, kMaxFeatureReportLength)) {
        return -EINVAL;
    }
    std::lock_guard<std::mutex> lock(requestMutex_);
    return ioctlResult(
        retryingOnSignal([&] { return ::ioctl(fd_, HIDIOCSFEATURE(length), report); }));
}

int hidrawDevice::getFeatureReport(uint8_t* report, std::size_t length) {
    if (!isValidReport(report, length, kMaxFeatureReportLength)) {
        return -EINVAL;
    }
    std::lock_guard<std::mutex> lock(requestMutex_);
    return ioctlResult(
        retryingOnSignal([&] { return ::ioctl(fd_, HIDIOCGFEATURE(length), report); }));
}

int hidrawDevice::waitForInput(int timeoutMs) const {
    pollfd entry{fd_, POLLIN, 0};
    const int result = ::poll(&entry, 1, timeoutMs);
    if (result < 0) {
        return errno == EINTR ? 0 : -errno;
    }
    // A queued report is read first even when the device is gone, so none is lost; the read
    // reports a failure itself.
    if ((entry.revents & POLLIN) != 0) {
        return 1;
    }
    if ((entry.revents & POLLNVAL) != 0) {
        return -EBADF;
    }
    // hidraw signals an unplugged device with POLLERR and POLLHUP.
    if ((entry.revents & (POLLERR | POLLHUP)) != 0) {
        return -ENODEV;
    }
    return 0;
}

}  // namespace dravix::platform
