#pragma once

#include <cstdint>
#include <memory>

#include "camera/camera.h"
#include "camera/libraryState.h"
#include "camera/videoDeviceList.h"
#include "dravix/dravix.h"
#include "emu/emulatedCameraSet.h"

// Camera 0 of the library on a private set of one emulated camera streaming width x height at
// `fps`, installed directly (no Init/Open) so a test chooses how the stream is started. Taken
// out of the library again when it goes.
class installedCamera {
  public:
    installedCamera(uint16_t width, uint16_t height, uint16_t fps)
        : cameras_(std::make_unique<dravix::emu::emulatedCameraSet>(
              1, dravix::emu::emulatedVideoFormat{width, height, fps})),
          devices_(cameras_->videoBackend(), dravix::libraryLog()) {
        camera_ = dravix::libraryState::instance().installCamera(
            0, std::make_unique<dravix::camera>(dravix::libraryLog(), devices_,
                                                dravix::camera::kDefaultVendorId,
                                                dravix::camera::kDefaultProductId,
                                                cameras_->videoBackend(), cameras_->hidBackend()));
        camera_->video().setMoniker(cameras_->camera(1)->videoPath());
    }
    ~installedCamera() {
        dravix::libraryState::instance().destroyCamera(0);
        cameras_.reset();
        ZEL_CAM_Destroy(0);
    }
    installedCamera(const installedCamera&) = delete;
    installedCamera& operator=(const installedCamera&) = delete;

    dravix::camera& camera() { return *camera_; }
    dravix::emu::emulatedCameraSet& cameras() { return *cameras_; }

  private:
    std::unique_ptr<dravix::emu::emulatedCameraSet> cameras_;
    dravix::videoDeviceList devices_;
    dravix::camera* camera_ = nullptr;
};
