#pragma once

#include <cstdint>
#include <memory>

#include "emu/emulatedVideoFormat.h"
#include "platform/video.h"

namespace dravix::emu {

class emulatedCamera;
class emulatedVideoSource;
class emulatedVideoStream;

// A bound capture on an emulated camera's video interface. It shares ownership of the camera, so
// it stays safe to use after the camera left its set; once the camera is unplugged its stream
// ends, and connect() and run() fail with -ENODEV, also after a replug. It owns the streaming
// thread that run() starts, and stops it in stop() and in its destructor. Calls come from one
// thread at a time; stop() from within the sink fails with -EDEADLK, and the capture must not be
// destroyed there. The sink must outlive the stream: a stream that ended with an unplug may still
// be finishing its last onFrame() until stop() returns.
class emulatedVideoCapture : public platform::videoCapture {
  public:
    emulatedVideoCapture(std::shared_ptr<emulatedCamera> camera, uint64_t session);
    ~emulatedVideoCapture() override;
    emulatedVideoCapture(const emulatedVideoCapture&) = delete;
    emulatedVideoCapture& operator=(const emulatedVideoCapture&) = delete;

    int requestYuy2() override;
    // -EBUSY when another capture of the camera is connected, or this one streams.
    int connect() override;
    // -EINVAL before connect().
    int connectedFormat(uint16_t& width, uint16_t& height) override;
    // Streams in the format negotiated by connect(): -EINVAL before it, -EBUSY while streaming.
    int run(platform::frameSink& sink) override;
    int stop() override;

  private:
    emulatedVideoSource& source() const;
    bool isOpen() const;

    const std::shared_ptr<emulatedCamera> camera_;
    const uint64_t session_;
    bool connected_ = false;
    emulatedVideoFormat format_;
    // After camera_, so that the stream ends before the camera can go.
    std::unique_ptr<emulatedVideoStream> stream_;
};

}  // namespace dravix::emu
