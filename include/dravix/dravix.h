/**
 * @file
 * dravix - camera library, public C interface (API 2.2.0).
 *
 * Every function returns a 32-bit signed result: 0 success, 1 failure, negative values are
 * results of the platform's video layer (negative errno on Linux), and a few functions return
 * other positive values (character counts, firmware-update codes 41..48).
 *
 * Camera indices are 0..9. Memory handed to a callback belongs to the library and is valid only
 * during the call; output buffers belong to the caller.
 */
#ifndef DRAVIX_DRAVIX_H
#define DRAVIX_DRAVIX_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(DRAVIX_BUILDING_LIBRARY)
#define DRAVIX_API __declspec(dllexport)
#else
#define DRAVIX_API __declspec(dllimport)
#endif
#else
#define DRAVIX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** @name Records shared with the caller */
/** @{ */

/** Version of one camera component. */
typedef struct VersionInfo {
    uint8_t major;
    uint8_t minor;
    uint16_t patch;
} VersionInfo;

/** Build identification of one camera component. */
typedef struct BuildInfo {
    uint8_t part[3];
    uint8_t pad;
    uint16_t number;
} BuildInfo;

/** Serial number of one camera component. */
typedef struct SerialInfo {
    uint8_t part[2];
    uint16_t number;
} SerialInfo;

/** Status record of one camera (148 bytes, fixed layout), handed to the StatusCallback. */
typedef struct DeviceStatus {
    uint8_t reserved0[4];          /**<   0 */
    SerialInfo serialFx3;          /**<   4: component 0 */
    SerialInfo serialElc;          /**<   8: component 3 */
    VersionInfo versionFx3;        /**<  12: component 0 */
    VersionInfo versionCcuFpga;    /**<  16: component 1 */
    VersionInfo versionElc;        /**<  20: component 3 */
    VersionInfo versionFpgaHead;   /**<  24: component 4 */
    BuildInfo buildFx3;            /**<  28: component 0 */
    BuildInfo buildCcuFpga;        /**<  34: component 1 */
    uint8_t reserved40[6];         /**<  40 */
    BuildInfo buildElc;            /**<  46: component 3 */
    BuildInfo buildFpgaHead;       /**<  52: component 4 */
    BuildInfo buildDisposable;     /**<  58: component 5 */
    uint8_t reserved64[12];        /**<  64 */
    BuildInfo buildRecFpga;        /**<  76: component 8 */
    BuildInfo buildRecService;     /**<  82: component 9 */
    BuildInfo buildRecLinux;       /**<  88: component 11 */
    VersionInfo versionRecFpga;    /**<  94: component 8 */
    VersionInfo versionRecService; /**<  98: component 9 */
    uint8_t reserved102[3];        /**< 102 */
    uint8_t headInfo[18];          /**< 105 */
    uint8_t eepromSaved;           /**< 123: set by the save-finished interrupt */
    uint32_t hardwareRevFx3;       /**< 124: component 0 */
    uint32_t hardwareRevElc;       /**< 128: component 3 */
    uint32_t usbSpeed;             /**< 132: 0..3 */
    uint32_t cameraCount;          /**< 136: cameras present */
    uint8_t headKeys[2];           /**< 140 */
    SerialInfo serialDisposable;   /**< 142: component 5 */
    uint8_t reserved146[2];        /**< 146 */
} DeviceStatus;

/** One defect-pixel entry: 12-bit coordinates. */
typedef struct DpcEntry {
    uint16_t x;
    uint16_t y;
} DpcEntry;

#ifdef __cplusplus
#define DRAVIX_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define DRAVIX_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif
DRAVIX_STATIC_ASSERT(sizeof(VersionInfo) == 4, "VersionInfo is 4 bytes");
DRAVIX_STATIC_ASSERT(sizeof(BuildInfo) == 6, "BuildInfo is 6 bytes");
DRAVIX_STATIC_ASSERT(sizeof(SerialInfo) == 4, "SerialInfo is 4 bytes");
DRAVIX_STATIC_ASSERT(sizeof(DpcEntry) == 4, "DpcEntry is 4 bytes");
DRAVIX_STATIC_ASSERT(sizeof(DeviceStatus) == 148, "DeviceStatus is 148 bytes");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, serialFx3) == 4, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, serialElc) == 8, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, versionFx3) == 12, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, versionCcuFpga) == 16, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, versionElc) == 20, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, versionFpgaHead) == 24, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, buildFx3) == 28, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, buildCcuFpga) == 34, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, buildElc) == 46, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, buildFpgaHead) == 52, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, buildDisposable) == 58, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, buildRecFpga) == 76, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, buildRecService) == 82, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, buildRecLinux) == 88, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, versionRecFpga) == 94, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, versionRecService) == 98, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, headInfo) == 105, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, eepromSaved) == 123, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, hardwareRevFx3) == 124, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, hardwareRevElc) == 128, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, usbSpeed) == 132, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, cameraCount) == 136, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, headKeys) == 140, "DeviceStatus layout");
DRAVIX_STATIC_ASSERT(offsetof(DeviceStatus, serialDisposable) == 142, "DeviceStatus layout");
#undef DRAVIX_STATIC_ASSERT

/** @} */

/** @name Callback types (their results are ignored) */
/** @{ */

/** A delivered YUY2 frame (Y0 U Y1 V, rows top to bottom); valid only during the call. */
typedef int (*FrameCallback)(uint8_t* frame, int32_t length, void* user);
/** The camera's status record; valid only during the call. */
typedef int (*StatusCallback)(DeviceStatus* status, void* user);
/** One log message: seconds since 1970 (UTC), its level bit, its text. */
typedef int (*LogCallback)(int64_t time, const uint8_t* level, const char* text, void* user);
/** White balance finished. */
typedef int (*WbPushCallback)(void* user);

/** Log level bits. */
#define ZEL_CAM_LOG_ERROR 1
#define ZEL_CAM_LOG_WARN 2
#define ZEL_CAM_LOG_INFO 4
#define ZEL_CAM_LOG_DEBUG 8
#define ZEL_CAM_LOG_VERBOSE 16
#define ZEL_CAM_LOG_ALL 255

/** @} */

/** @name Versions and unimplemented analysis functions */
/** @{ */

/** Writes "major.minor.patch" into `text` (20 bytes suffice); returns the characters written. */
DRAVIX_API int32_t ZEL_CAM_GetApiVersion(char* text);
/** Writes the build "year.week.minor.number" into `text` (20 bytes suffice); returns the
 * characters written. */
DRAVIX_API int32_t ZEL_CAM_GetApiBuild(char* text);
DRAVIX_API int32_t ZEL_CAM_GetApiVersionNumber(uint32_t* version);
DRAVIX_API int32_t ZEL_CAM_getLine(int32_t index, uint8_t* line, uint16_t row, int32_t mode);
DRAVIX_API int32_t ZEL_CAM_getVectorscopeArr(int32_t index, uint8_t* data);
DRAVIX_API int32_t ZEL_CAM_getVectorscopeArrW(int32_t index, uint8_t* data, int32_t width);
DRAVIX_API int32_t ZEL_CAM_getHistogramArr(int32_t index, uint8_t* data);
DRAVIX_API int32_t ZEL_CAM_getHistogramArrW(int32_t index, uint8_t* data, int32_t width);
DRAVIX_API int32_t ZEL_CAM_getWave(int32_t index, uint8_t* data, uint16_t row, int32_t mode);
DRAVIX_API int32_t ZEL_CAM_getWaveW(int32_t index, uint8_t* data, uint16_t row, int32_t mode,
                                    int32_t width);
DRAVIX_API int32_t ZEL_CAM_getRGBWave(int32_t index, uint8_t* data, uint16_t row, int32_t mode);
DRAVIX_API int32_t ZEL_CAM_getRGBWaveW(int32_t index, uint8_t* data, uint16_t row, int32_t mode,
                                       int32_t width);
DRAVIX_API int32_t ZEL_CAM_getDiffArr(int32_t index, uint8_t* data);
DRAVIX_API int32_t ZEL_CAM_setAutorestart(int32_t index, int32_t enable);
DRAVIX_API int32_t ZEL_CAM_getIni(int32_t index, char* text, int32_t length);

/** @} */

/** @name Camera lifecycle */
/** @{ */

/** Finds the video devices whose name begins with `matchName` (their count into `count`) and
 * creates a camera for them in the lowest slot not opened yet (its index into `index`); the HID
 * side is the USB device `vendorId`:`productId` of the same camera. */
DRAVIX_API int32_t ZEL_CAM_InitName(int32_t reserved, int32_t* index, uint8_t* count,
                                    const char* matchName, uint16_t vendorId, uint16_t productId);
/** InitName with the match name "dravix" and the camera's USB ids; `count` keeps its value. */
DRAVIX_API int32_t ZEL_CAM_Init(int32_t reserved, int32_t* index, uint8_t* count);
DRAVIX_API int32_t ZEL_CAM_Destroy(uint8_t index);
DRAVIX_API int32_t ZEL_CAM_Open(int32_t index);
DRAVIX_API int32_t ZEL_CAM_Close(int32_t index);
/** window: a native window handle (an X11 window id on Linux), or 0 for frame callbacks. */
DRAVIX_API int32_t ZEL_CAM_Start(int32_t index, int32_t reserved, void* window);
DRAVIX_API int32_t ZEL_CAM_Stop(int32_t index);
DRAVIX_API int32_t ZEL_CAM_StartPic(int32_t index, int32_t reserved1, int32_t reserved2);
DRAVIX_API int32_t ZEL_CAM_StatusCallback(int32_t index, StatusCallback callback, void* user);

/** @} */

/** @name Logging */
/** @{ */

DRAVIX_API void ZEL_CAM_setLogCallback(LogCallback callback, void* user, uint8_t mask);
DRAVIX_API void ZEL_CAM_stopLogCallback(void);
DRAVIX_API void ZEL_CAM_setLogLevel(uint8_t mask);
DRAVIX_API void ZEL_CAM_setLogFilePath(const char* path);
DRAVIX_API void ZEL_CAM_setLogState(int32_t enable, int32_t fileEnable);
DRAVIX_API uint32_t ZEL_CAM_getLogTotalErrorCnt(void);

/** @} */

/** @name Video */
/** @{ */

DRAVIX_API int32_t ZEL_CAM_SetVideoScale(int32_t index, int32_t width, int32_t height, float scale);
DRAVIX_API int32_t ZEL_CAM_GetFrameCounters(int32_t index, uint32_t* shownFrames,
                                            uint32_t* missedFrames, uint32_t* frameLength);
DRAVIX_API int32_t ZEL_CAM_FrameCallback(int32_t index, FrameCallback callback, void* user);
DRAVIX_API int32_t ZEL_CAM_setColorMode(int32_t index, int32_t mode);

/** @} */

/** @name Picture files */
/** @{ */

DRAVIX_API int32_t ZEL_CAM_SaveJPG(int32_t index, const char* path, int32_t nameMode);
DRAVIX_API int32_t ZEL_CAM_SaveRAW(int32_t index, const char* path);
DRAVIX_API int32_t ZEL_CAM_SaveBMP(int32_t index, const char* path, int32_t nameMode);
DRAVIX_API int32_t ZEL_CAM_SetBMPOptions(int32_t index, int32_t options);
DRAVIX_API int32_t ZEL_CAM_SetJPGOptions(int32_t index, const uint8_t* quality);

/** @} */

/** @name Device information, I2C, head and controller */
/** @{ */

DRAVIX_API int32_t ZEL_CAM_GetHeadInfo(int32_t index, uint8_t* info);
DRAVIX_API int32_t ZEL_CAM_Fx3GetUSBSpeed(int32_t index, uint8_t* speed);
DRAVIX_API int32_t ZEL_CAM_Fx3GetSerialNumber(int32_t index, uint32_t* serial);
DRAVIX_API int32_t ZEL_CAM_Fx3SetSerialNumber(int32_t index, const uint8_t* serial);
DRAVIX_API int32_t ZEL_CAM_Fx3FirmwareErase(int32_t index);
DRAVIX_API int32_t ZEL_CAM_SpiRead(int32_t index, uint32_t address, uint8_t* data, uint32_t length);
DRAVIX_API int32_t ZEL_CAM_SpiReadId(int32_t index, uint8_t* id);
DRAVIX_API int32_t ZEL_CAM_WriteCalEep(int32_t index, uint32_t address, const uint8_t* data,
                                       uint32_t length, int32_t mode);
DRAVIX_API int32_t ZEL_CAM_ReadCalEep(int32_t index, uint32_t address, uint8_t* data,
                                      uint32_t length, int32_t mode);
DRAVIX_API int32_t ZEL_CAM_StartCalibration(int32_t index, int32_t a, int32_t b, int32_t c);
DRAVIX_API int32_t ZEL_CAM_CheckCalibration(int32_t index, int32_t a, int32_t b);
DRAVIX_API int32_t ZEL_CAM_UpHeadSetSerialNumber(int32_t index, const uint8_t* serial);
DRAVIX_API int32_t ZEL_CAM_UpHeadSetEnableCode(int32_t index, const uint8_t* code);
DRAVIX_API int32_t ZEL_CAM_Fx3SetHWRev(int32_t index, const uint32_t* revision);
DRAVIX_API int32_t ZEL_CAM_UpHeadSetHWrev(int32_t index, const uint32_t* revision);
DRAVIX_API int32_t ZEL_CAM_WriteI2c(int32_t index, uint8_t device, const uint8_t* reg,
                                    uint8_t regLength, const uint8_t* data, uint16_t length);
DRAVIX_API int32_t ZEL_CAM_ReadI2c(int32_t index, uint8_t device, const uint8_t* reg,
                                   uint8_t regLength, uint8_t* data, uint16_t length);
DRAVIX_API int32_t ZEL_CAM_GetGyro(int32_t index, uint16_t* first, uint16_t* second);
DRAVIX_API int32_t ZEL_CAM_upHead(int32_t index, int32_t a, int32_t b, int32_t c, int32_t d);
DRAVIX_API int32_t ZEL_CAM_DispSetSerialNumber(int32_t index, const uint8_t* serial);
DRAVIX_API int32_t ZEL_CAM_fx3Config(int32_t index, uint16_t par1, uint16_t par2, uint8_t* data,
                                     uint16_t length);

/** @} */

/** @name Firmware update */
/** @{ */

DRAVIX_API int32_t ZEL_CAM_Fx3FirmwareUpdate(int32_t index, const char* path);
DRAVIX_API int32_t ZEL_CAM_Fx3FirwwareUpdateProgress(int32_t index, uint8_t* percent);
DRAVIX_API int32_t ZEL_CAM_FpgaCcuFirmwareUpdate(int32_t index, const char* path);
DRAVIX_API int32_t ZEL_CAM_FpgaCcuFirmwareUpdateProgress(int32_t index, uint8_t* percent,
                                                         int32_t* a, int32_t* b);
DRAVIX_API int32_t ZEL_CAM_FpgaHeadFirmwareUpdate(int32_t index, const char* path);
DRAVIX_API int32_t ZEL_CAM_FpgaHeadFirmwareUpdateProgress(int32_t index, uint8_t* percent);
DRAVIX_API int32_t ZEL_CAM_UpHeadFirmwareUpdate(int32_t index, const char* path);
DRAVIX_API int32_t ZEL_CAM_UpHeadFirmwareUpdateProgress(int32_t index, uint8_t* percent,
                                                        int32_t* a);
DRAVIX_API int32_t ZEL_CAM_UpLedFirmwareUpdate(int32_t index, const char* path);
DRAVIX_API int32_t ZEL_CAM_UpUFTFirmwareUpdate(int32_t index, const char* path);
DRAVIX_API int32_t ZEL_CAM_FpgaOsdGraficUpdate(int32_t index, const char* path);

/** @} */

/** @name Image pipeline (DSP) parameters */
/** @{ */

DRAVIX_API int32_t ZEL_CAM_getToggleState(int32_t index, uint8_t* state);
DRAVIX_API int32_t ZEL_CAM_SaveDspToEEp(int32_t index);
DRAVIX_API int32_t ZEL_CAM_getEdgeEnhancement(int32_t index, uint8_t* enable, uint8_t* a,
                                              uint8_t* b, uint16_t* c, uint16_t* d, uint8_t bank);
DRAVIX_API int32_t ZEL_CAM_setEdgeEnhancement(int32_t index, uint8_t enable, uint8_t a, uint8_t b,
                                              uint16_t c, uint16_t d, uint8_t bank);
DRAVIX_API int32_t ZEL_CAM_getCrCbGain(int32_t index, uint16_t* a, uint16_t* b, uint16_t* c,
                                       uint16_t* d, uint16_t* e);
DRAVIX_API int32_t ZEL_CAM_setCrCbGain(int32_t index, uint16_t a, uint16_t b, uint16_t c,
                                       uint16_t d, uint16_t e);
DRAVIX_API int32_t ZEL_CAM_getHue(int32_t index, uint16_t* hue);
DRAVIX_API int32_t ZEL_CAM_setHue(int32_t index, uint16_t hue);
DRAVIX_API int32_t ZEL_CAM_getSaturation(int32_t index, uint16_t* saturation);
DRAVIX_API int32_t ZEL_CAM_setSaturation(int32_t index, uint16_t saturation);
DRAVIX_API int32_t ZEL_CAM_getMaskEnable(int32_t index, uint8_t* m1, uint8_t* m2, uint8_t* m3);
DRAVIX_API int32_t ZEL_CAM_setMaskEnable(int32_t index, uint8_t m1, uint8_t m2, uint8_t m3);
DRAVIX_API int32_t ZEL_CAM_getMaskParams(int32_t index, uint16_t* a, uint16_t* b, uint16_t* c,
                                         uint16_t* d, uint16_t* e);
DRAVIX_API int32_t ZEL_CAM_setMaskParams(int32_t index, uint16_t a, uint16_t b, uint16_t c,
                                         uint16_t d, uint16_t e);
/** curve: 36 bytes. */
DRAVIX_API int32_t ZEL_CAM_getGamma(int32_t index, uint8_t* enable, uint8_t* curve, uint8_t bank);
DRAVIX_API int32_t ZEL_CAM_setGamma(int32_t index, uint8_t enable, const uint8_t* curve,
                                    uint8_t bank);
/** gains: 4 values. */
DRAVIX_API int32_t ZEL_CAM_getGain(int32_t index, uint16_t* gains);
DRAVIX_API int32_t ZEL_CAM_setGain(int32_t index, const uint16_t* gains);
DRAVIX_API int32_t ZEL_CAM_getSobel(int32_t index, uint8_t* enable, uint8_t* a, uint8_t* b,
                                    uint8_t* c, uint8_t bank);
DRAVIX_API int32_t ZEL_CAM_setSobel(int32_t index, uint8_t enable, uint8_t a, uint8_t b, uint8_t c,
                                    uint8_t bank);
DRAVIX_API int32_t ZEL_CAM_getWbWindow(int32_t index, uint16_t* x1, uint16_t* y1, uint16_t* x2,
                                       uint16_t* y2, uint8_t* enable);
DRAVIX_API int32_t ZEL_CAM_setWbWindow(int32_t index, uint16_t x1, uint16_t y1, uint16_t x2,
                                       uint16_t y2, uint8_t enable);
DRAVIX_API int32_t ZEL_CAM_doWbPush(int32_t index);
/** The callback runs on the library's interrupt thread when the white balance ends: once for a
 * completion of the head or the USB controller, every time for one of the FPGA. A null callback
 * clears the registration; a push that fails withdraws it, so `user` may be freed then. */
DRAVIX_API int32_t ZEL_CAM_doWbPushCb(int32_t index, WbPushCallback callback, void* user);
/** matrix: 9 values. */
DRAVIX_API int32_t ZEL_CAM_getColorMatrix(int32_t index, uint16_t* matrix);
DRAVIX_API int32_t ZEL_CAM_setColorMatrix(int32_t index, const uint16_t* matrix);
/** getWindowSizes fills 32 bytes; setWindowSizes reads 33 bytes from `sizes` (the camera's block
 * is one byte longer), so a buffer filled by the getter must hold 33 bytes for the setter. */
DRAVIX_API int32_t ZEL_CAM_getWindowSizes(int32_t index, uint8_t* sizes);
DRAVIX_API int32_t ZEL_CAM_setWindowSizes(int32_t index, const uint8_t* sizes);
/** position: 3 bytes. */
DRAVIX_API int32_t ZEL_CAM_getWindowPosition(int32_t index, uint8_t* position);
DRAVIX_API int32_t ZEL_CAM_setWindowPosition(int32_t index, const uint8_t* position);
DRAVIX_API int32_t ZEL_CAM_getTarget(int32_t index, uint16_t* target);
DRAVIX_API int32_t ZEL_CAM_setTarget(int32_t index, const uint16_t* target);
/** values: 15 bytes. */
DRAVIX_API int32_t ZEL_CAM_getAEValues(int32_t index, uint8_t* values);
DRAVIX_API int32_t ZEL_CAM_setAEValues(int32_t index, const uint8_t* values);
/** setting: 50 bytes. */
DRAVIX_API int32_t ZEL_CAM_getKeySetting(int32_t index, uint8_t* setting);
DRAVIX_API int32_t ZEL_CAM_setKeySetting(int32_t index, const uint8_t* setting);
DRAVIX_API int32_t ZEL_CAM_getEdgeMode(int32_t index, uint8_t* mode);
DRAVIX_API int32_t ZEL_CAM_setEdgeMode(int32_t index, const uint8_t* mode);
DRAVIX_API int32_t ZEL_CAM_getScale(int32_t index, uint8_t* mode, uint16_t* a, uint16_t* b,
                                    uint16_t* c, uint16_t* d);
DRAVIX_API int32_t ZEL_CAM_setScale(int32_t index, uint8_t mode, uint16_t a, uint16_t b, uint16_t c,
                                    uint16_t d);
DRAVIX_API int32_t ZEL_CAM_getMeasVals(int32_t index, void* values);
/** mode: 2 bytes. */
DRAVIX_API int32_t ZEL_CAM_setWindowAEMode(int32_t index, const uint8_t* mode);
DRAVIX_API int32_t ZEL_CAM_getOffset(int32_t index, int16_t* offset);
DRAVIX_API int32_t ZEL_CAM_setOffset(int32_t index, int16_t offset);
DRAVIX_API int32_t ZEL_CAM_getCamType(int32_t index, uint8_t* type);
DRAVIX_API int32_t ZEL_CAM_setCamType(int32_t index, const uint8_t* type);
DRAVIX_API int32_t ZEL_CAM_rqUpInt(int32_t index);
DRAVIX_API int32_t ZEL_CAM_setRawMode(int32_t index, const uint8_t* mode);
DRAVIX_API int32_t ZEL_CAM_getGammaChroma(int32_t index, uint8_t* curve, uint8_t bank);
DRAVIX_API int32_t ZEL_CAM_setGammaChroma(int32_t index, const uint8_t* curve, uint8_t bank);
DRAVIX_API int32_t ZEL_CAM_getHvFlip(int32_t index, uint8_t* horizontal, uint8_t* vertical);
DRAVIX_API int32_t ZEL_CAM_setHvFlip(int32_t index, uint8_t horizontal, uint8_t vertical);
DRAVIX_API int32_t ZEL_CAM_getDpcConfig(int32_t index, uint8_t* enable, uint8_t* spare,
                                        uint16_t* value);
DRAVIX_API int32_t ZEL_CAM_setDpcConfig(int32_t index, uint8_t enable, uint16_t value);
DRAVIX_API int32_t ZEL_CAM_setDpcDetect(int32_t index);
/** table: 16 entries. */
DRAVIX_API int32_t ZEL_CAM_getDpcTable(int32_t index, DpcEntry* table);
DRAVIX_API int32_t ZEL_CAM_setDpcTable(int32_t index, const DpcEntry* table);
DRAVIX_API int32_t ZEL_CAM_getOvExp(int32_t index, uint8_t* mode, uint16_t* value, uint8_t* c);
DRAVIX_API int32_t ZEL_CAM_setOvExp(int32_t index, uint8_t mode, uint16_t value, uint8_t c);
DRAVIX_API int32_t ZEL_CAM_getOvExpTarget(int32_t index, uint8_t* a, uint8_t* b, uint8_t* c,
                                          uint8_t* d);
DRAVIX_API int32_t ZEL_CAM_setOvExpTarget(int32_t index, uint8_t a, uint8_t b, uint8_t c,
                                          uint8_t d);
/** weights: 16 bytes. */
DRAVIX_API int32_t ZEL_CAM_getOvExpWeight(int32_t index, uint16_t* a, uint16_t* b, uint16_t* c,
                                          uint16_t* d, uint8_t* weights);
DRAVIX_API int32_t ZEL_CAM_setOvExpWeight(int32_t index, uint16_t a, uint16_t b, uint16_t c,
                                          uint16_t d, const uint8_t* weights);
/** config: 4 bytes; setucConfig sends them followed by a fifth byte 1. */
DRAVIX_API int32_t ZEL_CAM_getucConfig(int32_t index, uint8_t* config);
DRAVIX_API int32_t ZEL_CAM_setucConfig(int32_t index, const uint8_t* config);
DRAVIX_API int32_t ZEL_CAM_getBinning(int32_t index, uint8_t* a, uint8_t* b);
DRAVIX_API int32_t ZEL_CAM_setBinning(int32_t index, uint8_t a, uint8_t b);
DRAVIX_API int32_t ZEL_CAM_getScaleZ(int32_t index, uint8_t* mode, uint16_t* a, uint16_t* b,
                                     uint16_t* c, uint16_t* d, uint8_t* z);
DRAVIX_API int32_t ZEL_CAM_setScaleZ(int32_t index, uint8_t mode, uint16_t a, uint16_t b,
                                     uint16_t c, uint16_t d, uint8_t z);
/** p, q, r: 3 bytes each. */
DRAVIX_API int32_t ZEL_CAM_getOvExpTargetSteps(int32_t index, uint8_t* first, uint8_t* p,
                                               uint8_t* q, uint8_t* r, uint8_t* last);
DRAVIX_API int32_t ZEL_CAM_setOvExpTargetSteps(int32_t index, uint8_t first, const uint8_t* p,
                                               const uint8_t* q, const uint8_t* r, uint8_t last);
DRAVIX_API int32_t ZEL_CAM_getBayerMode(int32_t index, uint8_t* mode);
DRAVIX_API int32_t ZEL_CAM_setBayerMode(int32_t index, uint8_t mode);
DRAVIX_API int32_t ZEL_CAM_getHvFlipStatic(int32_t index, uint8_t* horizontal, uint8_t* vertical,
                                           uint8_t* staticHorizontal, uint8_t* staticVertical);

/** @} */

/** @name Settings files */
/** @{ */

DRAVIX_API int32_t ZEL_CAM_readQprFile(int32_t index, const char* path, uint8_t headType);
DRAVIX_API int32_t ZEL_CAM_writeQprFile(int32_t index, const char* path, uint8_t headType);

/** @} */

/** @name Recorder unit */
/** @{ */

DRAVIX_API int32_t ZEL_CAM_recStart(int32_t index);
DRAVIX_API int32_t ZEL_CAM_recStop(int32_t index);
DRAVIX_API int32_t ZEL_CAM_recCapture(int32_t index);
DRAVIX_API int32_t ZEL_CAM_recUpdate(int32_t index);
DRAVIX_API int32_t ZEL_CAM_recReboot(int32_t index);
DRAVIX_API int32_t ZEL_CAM_recExplorer(int32_t index);
DRAVIX_API int32_t ZEL_CAM_recSetDate(int32_t index);
DRAVIX_API int32_t ZEL_CAM_recSetCmd(int32_t index, const char* command);
DRAVIX_API int32_t ZEL_CAM_recSetDebugMode(int32_t index, uint8_t mode);
DRAVIX_API int32_t ZEL_CAM_recSetOsdRec(int32_t index);
DRAVIX_API int32_t ZEL_CAM_recCopyLogfile(int32_t index);
DRAVIX_API int32_t ZEL_CAM_recReinitOsd(int32_t index);
DRAVIX_API int32_t ZEL_CAM_recPrepareUsb(int32_t index);

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* DRAVIX_DRAVIX_H */
