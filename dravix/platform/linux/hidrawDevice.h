#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/hid.h"

namespace dravix::platform {

// One HID interface opened directly on its hidraw node: reports travel through poll, read, write
// and the hidraw feature-report ioctls of one file descriptor, which keeps no state in user space.
//
// The kernel lets a read run while writes and feature requests run on other threads, so
// readReport() is left to the caller's single reader thread without a lock. Writes and feature
// requests are serialised with each other here, so several writer threads never interleave their
// requests to the device.
//
// The destructor closes the node. The caller guarantees that no call is running then: a closed
// descriptor number may be reused at once by another open.
class hidrawDevice final : public hidDevice {
  public:
    // Opens the hidraw node at `path` for reading and writing. Null when `path` is not a hidraw
    // character device or cannot be opened; other nodes are never opened.
    static std::unique_ptr<hidrawDevice> open(const std::string& path);

    // Takes ownership of an open, non-blocking descriptor of a hidraw node.
    explicit hidrawDevice(int fd);
    ~hidrawDevice() override;
    hidrawDevice(const hidrawDevice&) = delete;
    hidrawDevice& operator=(const hidrawDevice&) = delete;

    // hidraw sends an output report synchronously; the kernel ends a stalled transfer after its
    // own time-out of 5 s and 0 is returned then. `timeoutMs` cannot shorten that bound.
    int writeReport(const uint8_t* report, std::size_t length, int timeoutMs) override;
    // A negative `timeoutMs` is treated as 0: the reader must never block for good. Reports
    // already queued are delivered before the loss of the device is reported.
    int readReport(uint8_t* buffer, std::size_t size, int timeoutMs) override;
    int sendFeatureReport(const uint8_t* report, std::size_t length) override;
    int getFeatureReport(uint8_t* report, std::size_t length) override;

  private:
    // Waits for an input report: 1 when one can be read, 0 on time-out, or a negative errno.
    int waitForInput(int timeoutMs) const;

    const int fd_;
    // Serialises writes and feature requests; reads do not take it.
    std::mutex requestMutex_;
};

}  // namespace dravix::platform
