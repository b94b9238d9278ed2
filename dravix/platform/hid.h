#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// HID access of the library: enumerate the HID top-level collections of a USB device and
// exchange whole reports with one of them. Byte 0 of every report is its report id, on output,
// input and feature reports alike; lengths include that byte.
namespace dravix::platform {

// One HID top-level collection. A device with several collections appears once per collection,
// possibly with the same path.
struct hidInterfaceInfo {
    std::string path;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    // The USB device the collection belongs to, keyed as the third field of that device's video
    // device paths (videoDeviceInfo::devicePath, without a node index); empty when unknown.
    std::string deviceKey;
};

// An open HID interface. readReport() is called by one reader thread while the other calls come
// from other threads; the object is destroyed only after every call has returned.
class hidDevice {
  public:
    virtual ~hidDevice() = default;

    // Writes one output report. Returns the number of bytes written, 0 when the write did not
    // complete within `timeoutMs` (it is then cancelled), or a negative errno on failure.
    virtual int writeReport(const uint8_t* report, std::size_t length, int timeoutMs) = 0;
    // Reads one input report into `buffer`, waiting at most `timeoutMs`. Returns its length,
    // 0 when none arrived in time, or a negative errno when reading failed (the device is gone).
    virtual int readReport(uint8_t* buffer, std::size_t size, int timeoutMs) = 0;
    // Writes one feature report. Returns the number of bytes written or a negative errno.
    virtual int sendFeatureReport(const uint8_t* report, std::size_t length) = 0;
    // Reads the feature report whose id is in report[0] into `report`. Returns the number of
    // bytes read or a negative errno.
    virtual int getFeatureReport(uint8_t* report, std::size_t length) = 0;
};

// A source of HID interfaces.
class hidBackend {
  public:
    virtual ~hidBackend() = default;

    // The present collections of the USB devices with these ids, in enumeration order.
    virtual std::vector<hidInterfaceInfo> enumerate(uint16_t vendorId, uint16_t productId) = 0;
    // Opens the interface at `path` for reading and writing; null when that fails or when the
    // path is not one of this backend's.
    virtual std::unique_ptr<hidDevice> open(const std::string& path) = 0;
};

// Frees what the system's HID access keeps for the whole process; called when the library is
// unloaded. The next enumeration of the system's devices sets it up again.
void releaseSystemHid();

}  // namespace dravix::platform
