#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Video capture of the library: list the capture devices, bind one, negotiate uncompressed YUY2
// frames and receive every frame on a streaming thread of the backend. Failures are negative
// errno values.
namespace dravix::platform {

// One video capture device.
struct videoDeviceInfo {
    // The name shown to users; cameras of ours begin with their product name.
    std::string friendlyName;
    // A path whose third '#'-separated field is a key of the USB device, unique within its first
    // 16 characters; stable while the device stays plugged in. A second or later capture node
    // of one device adds '@' and the node's index to the key. The rest of the path may change
    // when the device is plugged in again.
    std::string devicePath;
};

// Receives the captured frames.
class frameSink {
  public:
    virtual ~frameSink() = default;
    // Called on the streaming thread for every frame: YUY2 bytes (Y0 U Y1 V, rows top to bottom).
    virtual void onFrame(const uint8_t* data, std::size_t length) = 0;
};

// A bound capture device. Calls come from one thread at a time, in the order declared.
class videoCapture {
  public:
    virtual ~videoCapture() = default;

    // Asks for uncompressed YUY2 frames at the device's current size. 0 or -errno.
    virtual int requestYuy2() = 0;
    // Sets up the frame buffers. 0 or -errno; -EBUSY when another user holds the device.
    virtual int connect() = 0;
    // The negotiated frame size, after connect(). 0 or -errno.
    virtual int connectedFormat(uint16_t& width, uint16_t& height) = 0;
    // Starts streaming: frames go to `sink` on the backend's thread until stop(). 0 or -errno.
    virtual int run(frameSink& sink) = 0;
    // Stops streaming and joins the streaming thread: no onFrame() runs once it returns. A
    // stream that ended by itself (device unplugged) stops cleanly too. 0 or -errno.
    virtual int stop() = 0;
};

// A source of capture devices.
class videoBackend {
  public:
    virtual ~videoBackend() = default;

    // The present capture devices, in enumeration order.
    virtual std::vector<videoDeviceInfo> enumerate() = 0;
    // Binds the device at `devicePath`; null (with `error` set to -errno) when that fails or the
    // path is not one of this backend's.
    virtual std::unique_ptr<videoCapture> bind(const std::string& devicePath, int& error) = 0;
};

}  // namespace dravix::platform
