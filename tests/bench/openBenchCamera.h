#pragma once

#include <chrono>
#include <cstdint>

#include "camera/camera.h"
#include "camera/libraryState.h"
#include "dravix/dravix.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "log/logger.h"

// Camera 0 opened through the exports on one emulated camera without reply latency.
class openCamera {
  public:
    openCamera() {
        cameras().configure(1);
        int32_t index = 0;
        uint8_t count = 0;
        ready_ = ZEL_CAM_Init(0, &index, &count) == 0 && ZEL_CAM_Open(0) == 0;
        if (ready_) {
            cameras().camera(1)->setReplyLatency(std::chrono::microseconds(0));
            // Only errors are logged: the DSP sweep's removed functions warn on every call.
            ZEL_CAM_setLogLevel(ZEL_CAM_LOG_ERROR);
        }
    }
    ~openCamera() {
        dravix::libraryState::instance().destroyAll();
        dravix::libraryLog().close();
        cameras().configure(0);
    }
    bool ready() const { return ready_; }
    dravix::camera& dsp() { return *dravix::libraryState::instance().cameraAt(0); }
    dravix::emu::emulatedCamera& emulated() { return *cameras().camera(1); }

  private:
    static dravix::emu::emulatedCameraSet& cameras() {
        return dravix::emu::emulatedCameraSet::instance();
    }
    bool ready_ = false;
};
