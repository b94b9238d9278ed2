#pragma once

#include <cstddef>

#include "dravix/dravix.h"

// The library's entry points that the viewer binds, in table order: every export but
// ZEL_CAM_getHvFlipStatic, ZEL_CAM_recPrepareUsb and ZEL_CAM_recReinitOsd.
#define KYRVIEWER_CAM_API(X)                  \
    X(ZEL_CAM_GetApiVersion)                  \
    X(ZEL_CAM_GetApiVersionNumber)            \
    X(ZEL_CAM_GetApiBuild)                    \
    X(ZEL_CAM_Init)                           \
    X(ZEL_CAM_InitName)                       \
    X(ZEL_CAM_Destroy)                        \
    X(ZEL_CAM_getIni)                         \
    X(ZEL_CAM_Open)                           \
    X(ZEL_CAM_Close)                          \
    X(ZEL_CAM_setAutorestart)                 \
    X(ZEL_CAM_Start)                          \
    X(ZEL_CAM_SetVideoScale)                  \
    X(ZEL_CAM_StartPic)                       \
    X(ZEL_CAM_SetJPGOptions)                  \
    X(ZEL_CAM_SaveJPG)                        \
    X(ZEL_CAM_SetBMPOptions)                  \
    X(ZEL_CAM_SaveBMP)                        \
    X(ZEL_CAM_SaveRAW)                        \
    X(ZEL_CAM_Stop)                           \
    X(ZEL_CAM_GetFrameCounters)               \
    X(ZEL_CAM_FrameCallback)                  \
    X(ZEL_CAM_StatusCallback)                 \
    X(ZEL_CAM_GetHeadInfo)                    \
    X(ZEL_CAM_Fx3GetUSBSpeed)                 \
    X(ZEL_CAM_Fx3GetSerialNumber)             \
    X(ZEL_CAM_Fx3SetSerialNumber)             \
    X(ZEL_CAM_Fx3SetHWRev)                    \
    X(ZEL_CAM_Fx3FirmwareUpdate)              \
    X(ZEL_CAM_Fx3FirwwareUpdateProgress)      \
    X(ZEL_CAM_Fx3FirmwareErase)               \
    X(ZEL_CAM_FpgaCcuFirmwareUpdate)          \
    X(ZEL_CAM_FpgaOsdGraficUpdate)            \
    X(ZEL_CAM_FpgaCcuFirmwareUpdateProgress)  \
    X(ZEL_CAM_SpiRead)                        \
    X(ZEL_CAM_SpiReadId)                      \
    X(ZEL_CAM_WriteCalEep)                    \
    X(ZEL_CAM_ReadCalEep)                     \
    X(ZEL_CAM_StartCalibration)               \
    X(ZEL_CAM_CheckCalibration)               \
    X(ZEL_CAM_FpgaHeadFirmwareUpdate)         \
    X(ZEL_CAM_FpgaHeadFirmwareUpdateProgress) \
    X(ZEL_CAM_UpHeadFirmwareUpdate)           \
    X(ZEL_CAM_UpLedFirmwareUpdate)            \
    X(ZEL_CAM_UpUFTFirmwareUpdate)            \
    X(ZEL_CAM_UpHeadFirmwareUpdateProgress)   \
    X(ZEL_CAM_UpHeadSetSerialNumber)          \
    X(ZEL_CAM_DispSetSerialNumber)            \
    X(ZEL_CAM_UpHeadSetHWrev)                 \
    X(ZEL_CAM_UpHeadSetEnableCode)            \
    X(ZEL_CAM_GetGyro)                        \
    X(ZEL_CAM_WriteI2c)                       \
    X(ZEL_CAM_ReadI2c)                        \
    X(ZEL_CAM_fx3Config)                      \
    X(ZEL_CAM_upHead)                         \
    X(ZEL_CAM_setLogCallback)                 \
    X(ZEL_CAM_stopLogCallback)                \
    X(ZEL_CAM_getLogTotalErrorCnt)            \
    X(ZEL_CAM_setLogLevel)                    \
    X(ZEL_CAM_setLogFilePath)                 \
    X(ZEL_CAM_setLogState)                    \
    X(ZEL_CAM_getVectorscopeArr)              \
    X(ZEL_CAM_getVectorscopeArrW)             \
    X(ZEL_CAM_getHistogramArr)                \
    X(ZEL_CAM_getHistogramArrW)               \
    X(ZEL_CAM_getDiffArr)                     \
    X(ZEL_CAM_getWave)                        \
    X(ZEL_CAM_getWaveW)                       \
    X(ZEL_CAM_getRGBWave)                     \
    X(ZEL_CAM_getRGBWaveW)                    \
    X(ZEL_CAM_getLine)                        \
    X(ZEL_CAM_SaveDspToEEp)                   \
    X(ZEL_CAM_getToggleState)                 \
    X(ZEL_CAM_getBayerMode)                   \
    X(ZEL_CAM_setBayerMode)                   \
    X(ZEL_CAM_getEdgeEnhancement)             \
    X(ZEL_CAM_setEdgeEnhancement)             \
    X(ZEL_CAM_getSobel)                       \
    X(ZEL_CAM_setSobel)                       \
    X(ZEL_CAM_getEdgeMode)                    \
    X(ZEL_CAM_setEdgeMode)                    \
    X(ZEL_CAM_getCrCbGain)                    \
    X(ZEL_CAM_setCrCbGain)                    \
    X(ZEL_CAM_getHue)                         \
    X(ZEL_CAM_setHue)                         \
    X(ZEL_CAM_getSaturation)                  \
    X(ZEL_CAM_setSaturation)                  \
    X(ZEL_CAM_getMaskEnable)                  \
    X(ZEL_CAM_setMaskEnable)                  \
    X(ZEL_CAM_getMaskParams)                  \
    X(ZEL_CAM_setMaskParams)                  \
    X(ZEL_CAM_getGamma)                       \
    X(ZEL_CAM_setGamma)                       \
    X(ZEL_CAM_getGammaChroma)                 \
    X(ZEL_CAM_setGammaChroma)                 \
    X(ZEL_CAM_getOffset)                      \
    X(ZEL_CAM_setOffset)                      \
    X(ZEL_CAM_getGain)                        \
    X(ZEL_CAM_setGain)                        \
    X(ZEL_CAM_getWbWindow)                    \
    X(ZEL_CAM_setWbWindow)                    \
    X(ZEL_CAM_doWbPush)                       \
    X(ZEL_CAM_doWbPushCb)                     \
    X(ZEL_CAM_getColorMatrix)                 \
    X(ZEL_CAM_setColorMatrix)                 \
    X(ZEL_CAM_getScaleZ)                      \
    X(ZEL_CAM_setScaleZ)                      \
    X(ZEL_CAM_getScale)                       \
    X(ZEL_CAM_setScale)                       \
    X(ZEL_CAM_getBinning)                     \
    X(ZEL_CAM_setBinning)                     \
    X(ZEL_CAM_getHvFlip)                      \
    X(ZEL_CAM_setHvFlip)                      \
    X(ZEL_CAM_getWindowSizes)                 \
    X(ZEL_CAM_setWindowSizes)                 \
    X(ZEL_CAM_setWindowAEMode)                \
    X(ZEL_CAM_getWindowPosition)              \
    X(ZEL_CAM_setWindowPosition)              \
    X(ZEL_CAM_getCamType)                     \
    X(ZEL_CAM_setCamType)                     \
    X(ZEL_CAM_getTarget)                      \
    X(ZEL_CAM_setTarget)                      \
    X(ZEL_CAM_getAEValues)                    \
    X(ZEL_CAM_setAEValues)                    \
    X(ZEL_CAM_getMeasVals)                    \
    X(ZEL_CAM_getKeySetting)                  \
    X(ZEL_CAM_setKeySetting)                  \
    X(ZEL_CAM_rqUpInt)                        \
    X(ZEL_CAM_setRawMode)                     \
    X(ZEL_CAM_getDpcConfig)                   \
    X(ZEL_CAM_setDpcConfig)                   \
    X(ZEL_CAM_setDpcDetect)                   \
    X(ZEL_CAM_getDpcTable)                    \
    X(ZEL_CAM_setDpcTable)                    \
    X(ZEL_CAM_getucConfig)                    \
    X(ZEL_CAM_setucConfig)                    \
    X(ZEL_CAM_getOvExp)                       \
    X(ZEL_CAM_setOvExp)                       \
    X(ZEL_CAM_getOvExpTarget)                 \
    X(ZEL_CAM_getOvExpTargetSteps)            \
    X(ZEL_CAM_setOvExpTargetSteps)            \
    X(ZEL_CAM_setOvExpTarget)                 \
    X(ZEL_CAM_getOvExpWeight)                 \
    X(ZEL_CAM_setOvExpWeight)                 \
    X(ZEL_CAM_readQprFile)                    \
    X(ZEL_CAM_writeQprFile)                   \
    X(ZEL_CAM_setColorMode)                   \
    X(ZEL_CAM_recStart)                       \
    X(ZEL_CAM_recStop)                        \
    X(ZEL_CAM_recCapture)                     \
    X(ZEL_CAM_recUpdate)                      \
    X(ZEL_CAM_recReboot)                      \
    X(ZEL_CAM_recExplorer)                    \
    X(ZEL_CAM_recSetDate)                     \
    X(ZEL_CAM_recSetCmd)                      \
    X(ZEL_CAM_recSetDebugMode)                \
    X(ZEL_CAM_recSetOsdRec)                   \
    X(ZEL_CAM_recCopyLogfile)

// The bound entry points: one pointer per name, typed after the library's public header, null
// while unbound. The library is never linked; only the types of its prototypes are used here.
struct CamApi {
#define KYRVIEWER_CAM_API_SLOT(name) decltype(&::name) name = nullptr;
    KYRVIEWER_CAM_API(KYRVIEWER_CAM_API_SLOT)
#undef KYRVIEWER_CAM_API_SLOT

    static constexpr std::size_t kEntryCount = 157;

    // Looks every name up with `lookup` (name -> address or null) in table order; a name the
    // library does not export leaves its slot empty. Returns how many were found.
    template <class Lookup>
    std::size_t bind(Lookup lookup);
    // Empties every slot.
    void clear() {
        *this = CamApi{};
    }
    // The table's kEntryCount names in order; a test checks them against the library's list of
    // exports.
    static const char* const* names();
};

template <class Lookup>
std::size_t CamApi::bind(Lookup lookup) {
    std::size_t found = 0;
#define KYRVIEWER_CAM_API_BIND(name)                           \
    name = reinterpret_cast<decltype(&::name)>(lookup(#name)); \
    found += name != nullptr ? 1 : 0;
    KYRVIEWER_CAM_API(KYRVIEWER_CAM_API_BIND)
#undef KYRVIEWER_CAM_API_BIND
    return found;
}
