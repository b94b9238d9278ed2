// Device information, I2C, head and controller exports.
#include <cstring>

#include "api/exportGuard.h"
#include "camera/camera.h"
#include "dravix/dravix.h"
#include "log/logger.h"

namespace dravix {
namespace {

constexpr uint8_t kFx3 = 0;
constexpr uint8_t kElc = 3;
constexpr uint8_t kDisposable = 5;
constexpr uint8_t kGyroAddress = 0x50;
constexpr uint8_t kGyroRegister[] = {0x00, 0x04};
constexpr uint16_t kGyroBytes = 12;
constexpr std::size_t kGyroAxes = 3;

// An export that is not implemented: the guard, then WARN "not implemented!" and `result`.
int32_t notImplemented(const char* exportName, int32_t index, int32_t result) {
    if (guardedCamera(exportName, index) == nullptr) {
        return result == 0 ? 0 : kResultFailure;
    }
    libraryLog().warn("not implemented!");
    return result;
}

// The camera of `index` when the guard passes and `pointer` is there.
std::shared_ptr<camera> cameraWith(const char* exportName, int32_t index, const void* pointer) {
    const std::shared_ptr<camera> cam = guardedCamera(exportName, index);
    return cam != nullptr && !isNullArgument(exportName, pointer) ? cam : nullptr;
}

int32_t setSerial(const char* exportName, int32_t index, uint8_t component, const uint8_t* serial) {
    const std::shared_ptr<camera> cam = cameraWith(exportName, index, serial);
    return cam != nullptr ? cam->commands().setSerialNumber(component, serial) : kResultFailure;
}

int32_t setRevision(const char* exportName, int32_t index, uint8_t component,
                    const uint32_t* revision) {
    const std::shared_ptr<camera> cam = cameraWith(exportName, index, revision);
    return cam != nullptr ? cam->commands().setHardwareRev(component, *revision) : kResultFailure;
}

// A register address of `length` bytes needs a buffer unless it is empty.
bool missingRegister(const char* exportName, const uint8_t* reg, uint8_t length) {
    return length > 0 && isNullArgument(exportName, reg);
}

// Calibration without a camera reports success after the guard's message.
int32_t calibrate(const char* exportName, int32_t index, uint8_t mode, int32_t value) {
    const std::shared_ptr<camera> cam = guardedCamera(exportName, index);
    if (cam == nullptr) {
        return kResultSuccess;
    }
    return cam->setHidCalibration(mode, static_cast<uint8_t>(value));
}

}  // namespace
}  // namespace dravix

using namespace dravix;

extern "C" {

int32_t ZEL_CAM_GetHeadInfo(int32_t index, uint8_t* /*info*/) try {
    return notImplemented(__func__, index, kResultFailure);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_Fx3GetUSBSpeed(int32_t index, uint8_t* /*speed*/) try {
    return notImplemented(__func__, index, kResultFailure);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_Fx3FirmwareErase(int32_t index) try {
    return notImplemented(__func__, index, kResultFailure);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_SpiRead(int32_t index, uint32_t /*address*/, uint8_t* /*data*/,
                        uint32_t /*length*/) try {
    return notImplemented(__func__, index, kResultFailure);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_SpiReadId(int32_t index, uint8_t* /*id*/) try {
    return notImplemented(__func__, index, kResultFailure);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_UpHeadSetEnableCode(int32_t index, const uint8_t* /*code*/) try {
    return notImplemented(__func__, index, kResultFailure);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_upHead(int32_t index, int32_t /*a*/, int32_t /*b*/, int32_t /*c*/,
                       int32_t /*d*/) try {
    return notImplemented(__func__, index, kResultFailure);
} catch (...) {
    return failedByException(__func__);
}

// Both report success, also without a camera.
int32_t ZEL_CAM_WriteCalEep(int32_t index, uint32_t /*address*/, const uint8_t* /*data*/,
                            uint32_t /*length*/, int32_t /*mode*/) try {
    return notImplemented(__func__, index, kResultSuccess);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_ReadCalEep(int32_t index, uint32_t /*address*/, uint8_t* /*data*/,
                           uint32_t /*length*/, int32_t /*mode*/) try {
    return notImplemented(__func__, index, kResultSuccess);
} catch (...) {
    return failedByException(__func__);
}

// The serial number's four bytes as one value, in the record's own layout.
int32_t ZEL_CAM_Fx3GetSerialNumber(int32_t index, uint32_t* serial) try {
    const std::shared_ptr<camera> cam = cameraWith(__func__, index, serial);
    if (cam == nullptr) {
        return kResultFailure;
    }
    SerialInfo info{};
    const uint8_t result = cam->commands().getSerialNumber(kFx3, info);
    if (result == 0) {
        std::memcpy(serial, &info, sizeof *serial);
    }
    return result;
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_Fx3SetSerialNumber(int32_t index, const uint8_t* serial) try {
    return setSerial(__func__, index, kFx3, serial);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_UpHeadSetSerialNumber(int32_t index, const uint8_t* serial) try {
    return setSerial(__func__, index, kElc, serial);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_DispSetSerialNumber(int32_t index, const uint8_t* serial) try {
    return setSerial(__func__, index, kDisposable, serial);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_Fx3SetHWRev(int32_t index, const uint32_t* revision) try {
    return setRevision(__func__, index, kFx3, revision);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_UpHeadSetHWrev(int32_t index, const uint32_t* revision) try {
    return setRevision(__func__, index, kElc, revision);
} catch (...) {
    return failedByException(__func__);
}

// Computed unsigned: any caller value gives a mode byte.
int32_t ZEL_CAM_StartCalibration(int32_t index, int32_t a, int32_t b, int32_t c) try {
    const uint32_t mode = (static_cast<uint32_t>(a) & 1u) | (static_cast<uint32_t>(c) << 1);
    return calibrate(__func__, index, static_cast<uint8_t>(mode), b);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_CheckCalibration(int32_t index, int32_t a, int32_t b) try {
    return calibrate(__func__, index, static_cast<uint8_t>((a & 1) | 4), b);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_WriteI2c(int32_t index, uint8_t device, const uint8_t* reg, uint8_t regLength,
                         const uint8_t* data, uint16_t length) try {
    const std::shared_ptr<camera> cam = guardedCamera(__func__, index);
    if (cam == nullptr || missingRegister(__func__, reg, regLength) ||
        (length > 0 && isNullArgument(__func__, data))) {
        return kResultFailure;
    }
    return cam->commands().i2cWrite(device, reg, regLength, data, length);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_ReadI2c(int32_t index, uint8_t device, const uint8_t* reg, uint8_t regLength,
                        uint8_t* data, uint16_t length) try {
    const std::shared_ptr<camera> cam = guardedCamera(__func__, index);
    if (cam == nullptr || missingRegister(__func__, reg, regLength) ||
        (length > 0 && isNullArgument(__func__, data))) {
        return kResultFailure;
    }
    return cam->commands().i2cRead(device, reg, regLength, data, length);
} catch (...) {
    return failedByException(__func__);
}

// Two triples of big-endian words; both zero when the read failed.
int32_t ZEL_CAM_GetGyro(int32_t index, uint16_t* first, uint16_t* second) try {
    const std::shared_ptr<camera> cam = guardedCamera(__func__, index);
    if (cam == nullptr || isNullArgument(__func__, first) || isNullArgument(__func__, second)) {
        return kResultFailure;
    }
    uint8_t bytes[kGyroBytes] = {};
    const uint8_t result = cam->commands().i2cRead(kGyroAddress, kGyroRegister,
                                                   sizeof kGyroRegister, bytes, kGyroBytes);
    for (std::size_t axis = 0; axis < kGyroAxes; ++axis) {
        const uint8_t* a = bytes + 2 * axis;
        const uint8_t* b = bytes + 2 * (axis + kGyroAxes);
        first[axis] = result == 0 ? static_cast<uint16_t>(a[0] << 8 | a[1]) : 0;
        second[axis] = result == 0 ? static_cast<uint16_t>(b[0] << 8 | b[1]) : 0;
    }
    return result;
} catch (...) {
    return failedByException(__func__);
}

// Only the configuration-block cases move data; the others never touch it.
int32_t ZEL_CAM_fx3Config(int32_t index, uint16_t par1, uint16_t par2, uint8_t* data,
                          uint16_t length) try {
    const std::shared_ptr<camera> cam = guardedCamera(__func__, index);
    if (cam == nullptr || (deviceCommands::movesConfigData(par1, par2) && length > 0 &&
                           isNullArgument(__func__, data))) {
        return kResultFailure;
    }
    return cam->commands().fx3Config(par1, par2, data, length);
} catch (...) {
    return failedByException(__func__);
}

}  // extern "C"
