// The device exports on an open emulated camera: identity values, I2C, the gyro, calibration,
// and the exports that are not implemented.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "camera/libraryState.h"
#include "dravix/dravix.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "emu/emulatedDsp.h"
#include "emu/emulatedIdentity.h"
#include "log/logger.h"
#include "openCameraTest.h"

namespace {

using ::testing::Contains;

using deviceExportsTest = openCameraTest;

TEST_F(deviceExportsTest, gyroTriplesAreBigEndianWordsAndZeroAfterAFailedRead) {
    camera().i2cBus().preset(
        0x50, 0x0004, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6});
    std::array<uint16_t, 3> first{};
    std::array<uint16_t, 3> second{};
    ASSERT_EQ(ZEL_CAM_GetGyro(0, first.data(), second.data()), 0);
    EXPECT_EQ(first, (std::array<uint16_t, 3>{0x0102, 0x0304, 0x0506}));
    EXPECT_EQ(second, (std::array<uint16_t, 3>{0xF1F2, 0xF3F4, 0xF5F6}));

    camera().queueReplyStatus(3);
    EXPECT_NE(ZEL_CAM_GetGyro(0, first.data(), second.data()), 0);
    EXPECT_EQ(first, (std::array<uint16_t, 3>{}));
    EXPECT_EQ(second, (std::array<uint16_t, 3>{}));
    EXPECT_EQ(ZEL_CAM_GetGyro(0, nullptr, second.data()), 1);
}

TEST_F(deviceExportsTest, serialNumbersAndRevisionsGoToTheirComponents) {
    const uint8_t serial[5] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    ASSERT_EQ(ZEL_CAM_Fx3SetSerialNumber(0, serial), 0);
    ASSERT_EQ(ZEL_CAM_UpHeadSetSerialNumber(0, serial), 0);
    ASSERT_EQ(ZEL_CAM_DispSetSerialNumber(0, serial), 0);
    for (int component : {0, 3, 5}) {
        EXPECT_EQ(camera().identity().serial(component).raw[4], 0x9A) << component;
    }
    uint32_t read = 0;
    ASSERT_EQ(ZEL_CAM_Fx3GetSerialNumber(0, &read), 0);
    SerialInfo expected{{0x12, 0x34}, 0x5678};
    uint32_t expectedValue = 0;
    std::memcpy(&expectedValue, &expected, sizeof expectedValue);
    EXPECT_EQ(read, expectedValue);

    const uint32_t revision = 0x00C0FFEE;
    ASSERT_EQ(ZEL_CAM_Fx3SetHWRev(0, &revision), 0);
    ASSERT_EQ(ZEL_CAM_UpHeadSetHWrev(0, &revision), 0);
    EXPECT_EQ(camera().identity().hardwareRev(0), revision);
    EXPECT_EQ(camera().identity().hardwareRev(3), revision);
    EXPECT_EQ(ZEL_CAM_Fx3SetHWRev(0, nullptr), 1);
    EXPECT_TRUE(log_.waitFor("ERROR main::ZEL_CAM_Fx3SetHWRev: NULL POINTER"));
}

TEST_F(deviceExportsTest, i2cAndConfigurationThroughTheExports) {
    const uint8_t reg[] = {0x00, 0x10};
    const uint8_t data[] = {9, 8, 7};
    ASSERT_EQ(ZEL_CAM_WriteI2c(0, 0x21, reg, 2, data, 3), 0);
    uint8_t back[3] = {};
    ASSERT_EQ(ZEL_CAM_ReadI2c(0, 0x21, reg, 2, back, 3), 0);
    EXPECT_EQ(std::memcmp(back, data, 3), 0);
    EXPECT_EQ(ZEL_CAM_ReadI2c(0, 0x21, nullptr, 2, back, 3), 1);

    uint8_t block[32] = {1, 2, 3};
    ASSERT_EQ(ZEL_CAM_fx3Config(0, 0x00D2, 0x81, block, sizeof block), 0);
    EXPECT_EQ(camera().identity().configBlock(0x81)[2], 3);
    EXPECT_EQ(ZEL_CAM_fx3Config(0, 0x00D2, 0x80, block, sizeof block), 1);
    EXPECT_TRUE(
        log_.waitFor("WARN camera::fx3Config, not implemented: par1: 0x00D2, par2: 0x0080"));
    // Only the block cases need data: a reboot goes without.
    EXPECT_EQ(ZEL_CAM_fx3Config(0, 0x0100, 0, nullptr, 4), 0);
    EXPECT_EQ(camera().identity().reboots(), 1);
    EXPECT_EQ(ZEL_CAM_fx3Config(0, 0x00D3, 0x82, nullptr, 4), 1);
    EXPECT_TRUE(log_.waitFor("ERROR main::ZEL_CAM_fx3Config: NULL POINTER"));
}

TEST_F(deviceExportsTest, calibrationModesCombineTheArguments) {
    ASSERT_EQ(ZEL_CAM_StartCalibration(0, 3, 0x40, 1), 0);
    EXPECT_EQ(camera().dsp().lastCalibration(), (std::pair<uint8_t, uint8_t>{0x03, 0x40}));
    ASSERT_EQ(ZEL_CAM_StartCalibration(0, -1, 0x41, INT32_MAX), 0);  // any value, one byte
    EXPECT_EQ(camera().dsp().lastCalibration(), (std::pair<uint8_t, uint8_t>{0xFF, 0x41}));
    ASSERT_EQ(ZEL_CAM_CheckCalibration(0, 2, 0x11), 0);
    EXPECT_EQ(camera().dsp().lastCalibration(), (std::pair<uint8_t, uint8_t>{0x04, 0x11}));
    // Without a camera both report success after the guard's message.
    EXPECT_EQ(ZEL_CAM_StartCalibration(4, 1, 1, 1), 0);
    EXPECT_EQ(ZEL_CAM_CheckCalibration(4, 1, 1), 0);
    EXPECT_TRUE(log_.waitFor("ERROR main::ZEL_CAM_CheckCalibration: CAMERA NOT INITIALIZED"));
}

TEST_F(deviceExportsTest, exportsThatAreNotImplemented) {
    uint8_t bytes[32] = {};
    EXPECT_EQ(ZEL_CAM_GetHeadInfo(0, bytes), 1);
    EXPECT_EQ(ZEL_CAM_Fx3GetUSBSpeed(0, bytes), 1);
    EXPECT_EQ(ZEL_CAM_Fx3FirmwareErase(0), 1);
    EXPECT_EQ(ZEL_CAM_SpiRead(0, 0, bytes, 4), 1);
    EXPECT_EQ(ZEL_CAM_SpiReadId(0, bytes), 1);
    EXPECT_EQ(ZEL_CAM_UpHeadSetEnableCode(0, bytes), 1);
    EXPECT_EQ(ZEL_CAM_upHead(0, 1, 2, 3, 4), 1);
    EXPECT_EQ(ZEL_CAM_WriteCalEep(0, 0, bytes, 4, 0), 0);
    EXPECT_EQ(ZEL_CAM_ReadCalEep(0, 0, bytes, 4, 0), 0);
    EXPECT_TRUE(log_.waitFor("WARN not implemented!", 9));
    // Without a camera the two calibration-memory exports still report success.
    EXPECT_EQ(ZEL_CAM_ReadCalEep(3, 0, bytes, 4, 0), 0);
    EXPECT_EQ(ZEL_CAM_WriteCalEep(12, 0, bytes, 4, 0), 0);
    EXPECT_EQ(ZEL_CAM_SpiReadId(3, bytes), 1);
    EXPECT_TRUE(log_.waitFor("ERROR main::ZEL_CAM_ReadCalEep: CAMERA NOT INITIALIZED"));
    EXPECT_TRUE(log_.waitFor("ERROR main::ZEL_CAM_WriteCalEep: DEVICE NOT FOUND"));
}

}  // namespace
