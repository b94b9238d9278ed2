// Device information, I2C, head and controller exports.
#include "api/exportGuard.h"
#include "dravix/dravix.h"

using namespace dravix;

extern "C" {

int32_t ZEL_CAM_GetHeadInfo(int32_t index, uint8_t* /*info*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_Fx3GetUSBSpeed(int32_t index, uint8_t* /*speed*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_Fx3GetSerialNumber(int32_t index, uint32_t* /*serial*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_Fx3SetSerialNumber(int32_t index, const uint8_t* /*serial*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_Fx3FirmwareErase(int32_t index) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_SpiRead(int32_t index, uint32_t /*address*/, uint8_t* /*data*/,
                        uint32_t /*length*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_SpiReadId(int32_t index, uint8_t* /*id*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_WriteCalEep(int32_t index, uint32_t /*address*/, const uint8_t* /*data*/,
                            uint32_t /*length*/, int32_t /*mode*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_ReadCalEep(int32_t index, uint32_t /*address*/, uint8_t* /*data*/,
                           uint32_t /*length*/, int32_t /*mode*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_StartCalibration(int32_t index, int32_t /*a*/, int32_t /*b*/, int32_t /*c*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_CheckCalibration(int32_t index, int32_t /*a*/, int32_t /*b*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_UpHeadSetSerialNumber(int32_t index, const uint8_t* /*serial*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_UpHeadSetEnableCode(int32_t index, const uint8_t* /*code*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_Fx3SetHWRev(int32_t index, const uint32_t* /*revision*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_UpHeadSetHWrev(int32_t index, const uint32_t* /*revision*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_WriteI2c(int32_t index, uint8_t /*device*/, const uint8_t* /*reg*/,
                         uint8_t /*regLength*/, const uint8_t* /*data*/, uint16_t /*length*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_ReadI2c(int32_t index, uint8_t /*device*/, const uint8_t* /*reg*/,
                        uint8_t /*regLength*/, uint8_t* /*data*/, uint16_t /*length*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_GetGyro(int32_t index, uint16_t* /*first*/, uint16_t* /*second*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_upHead(int32_t index, int32_t /*a*/, int32_t /*b*/, int32_t /*c*/, int32_t /*d*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_DispSetSerialNumber(int32_t index, const uint8_t* /*serial*/) {
    return unavailableForCamera(__func__, index);
}

int32_t ZEL_CAM_fx3Config(int32_t index, uint16_t /*par1*/, uint16_t /*par2*/, uint8_t* /*data*/,
                          uint16_t /*length*/) {
    return unavailableForCamera(__func__, index);
}

}  // extern "C"
