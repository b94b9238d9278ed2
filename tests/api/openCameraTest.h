#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "camera/libraryState.h"
#include "dravix/dravix.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "log/logger.h"
#include "logCapture.h"
#include "tempHome.h"

// A fixture with one emulated camera, initialised and opened as camera 0 through the exports,
// with the library log captured; everything is destroyed again after each test.
class openCameraTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char version[20];
        ZEL_CAM_GetApiVersion(version);
        ZEL_CAM_setLogCallback(&logCapture::onMessage, &log_, ZEL_CAM_LOG_ALL);
        cameras().configure(1);
        int32_t index = 9;
        uint8_t count = 0;
        ASSERT_EQ(ZEL_CAM_Init(0, &index, &count), 0);
        ASSERT_EQ(ZEL_CAM_Open(0), 0);
    }
    void TearDown() override {
        dravix::libraryState::instance().destroyAll();
        dravix::libraryLog().close();
        cameras().configure(0);
    }
    static dravix::emu::emulatedCameraSet& cameras() {
        return dravix::emu::emulatedCameraSet::instance();
    }
    static dravix::emu::emulatedCamera& camera() { return *cameras().camera(1); }

    tempHome home_;
    logCapture log_;
};
