#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "emu/emulatedCamera.h"
#include "emu/emulatedHidBackend.h"
#include "emu/emulatedVideoBackend.h"
#include "emu/emulatedVideoFormat.h"
#include "platform/threadAnnotations.h"

namespace dravix::emu {

// The emulated cameras of the process, numbered from 1. The set and the open handles share
// ownership of each camera, so a handle on a camera that left the set fails cleanly
// (-ENODEV) instead of dangling. Thread-safe.
class emulatedCameraSet {
  public:
    static constexpr int kMaxCameras = 10;

    // The process-wide set; created on first use with the count that DRAVIX_CAMEMU gives.
    static emulatedCameraSet& instance();
    // The camera count of a DRAVIX_CAMEMU value: a decimal 1..kMaxCameras, else 0.
    static int countFromEnvironment(const char* value);

    // The cameras stream in `format`, by default the one DRAVIX_CAMEMU_FORMAT gives.
    explicit emulatedCameraSet(
        int count, const emulatedVideoFormat& format = emulatedVideoFormat::fromEnvironment());
    emulatedCameraSet(const emulatedCameraSet&) = delete;
    emulatedCameraSet& operator=(const emulatedCameraSet&) = delete;

    // Replaces every camera with `count` fresh ones (0..kMaxCameras, else
    // std::invalid_argument); the cameras it replaces are unplugged. The fresh cameras have video
    // keys of their own, so that the host sees new devices.
    void configure(int count);
    int count() const;
    // Camera `number` (1..count()), or null.
    std::shared_ptr<emulatedCamera> camera(int number) const;
    std::vector<std::shared_ptr<emulatedCamera>> cameras() const;

    emulatedHidBackend& hidBackend() { return backend_; }
    emulatedVideoBackend& videoBackend() { return videoBackend_; }

  private:
    std::vector<std::shared_ptr<emulatedCamera>> makeCameras(int count) const;

    const emulatedVideoFormat format_;
    mutable annotatedMutex mutex_;
    std::vector<std::shared_ptr<emulatedCamera>> cameras_ GUARDED_BY(mutex_);
    emulatedHidBackend backend_{*this};
    emulatedVideoBackend videoBackend_{*this};
};

}  // namespace dravix::emu
