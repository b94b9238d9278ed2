#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "dravix/dravix.h"
#include "dsp/cameraDsp.h"
#include "log/logger.h"

namespace dravix {

// The camera's image-pipeline parameters as the exports hand them over: each getter reads one
// DSP function and decodes it into the caller's variables, each setter encodes and writes one.
// Pointers are the caller's and must not be null. Results are the DSP status: 0, or 1 on failure.
//
// A getter that gets no camera data (failed read, or a reply for another function) stores its
// read-failure values; only a failed read makes the status 1. Getters of bytes passed through
// unchanged read straight into the caller's buffer, which a reply for another function leaves as
// it was. A bank other than 0 and 1 fails with 1 and an error naming the bank; getters then store
// zeros. Nothing is sent in that case.
class dspParameterAccess {
  public:
    // Messages name `exportName`, the export this call serves.
    dspParameterAccess(cameraDsp& dsp, logger& log, const char* exportName);

    // Colour and tone.
    uint8_t getGain(uint16_t* gains);
    uint8_t setGain(const uint16_t* gains);
    uint8_t getCrCbGain(uint16_t* a, uint16_t* b, uint16_t* c, uint16_t* d, uint16_t* e);
    uint8_t setCrCbGain(uint16_t a, uint16_t b, uint16_t c, uint16_t d, uint16_t e);
    uint8_t getHue(uint16_t* hue);
    uint8_t setHue(uint16_t hue);
    uint8_t getSaturation(uint16_t* saturation);
    uint8_t setSaturation(uint16_t saturation);
    uint8_t getOffset(int16_t* offset);
    uint8_t setOffset(int16_t offset);
    uint8_t getGamma(uint8_t* enable, uint8_t* curve, uint8_t bank);
    uint8_t setGamma(uint8_t enable, const uint8_t* curve, uint8_t bank);
    uint8_t getColorMatrix(uint16_t* matrix);
    uint8_t setColorMatrix(const uint16_t* matrix);
    uint8_t getBayerMode(uint8_t* mode);
    uint8_t setBayerMode(uint8_t mode);

    // Edge enhancement, Sobel and masks.
    uint8_t getEdgeEnhancement(uint8_t* enable, uint8_t* a, uint8_t* b, uint16_t* c, uint16_t* d,
                               uint8_t bank);
    uint8_t setEdgeEnhancement(uint8_t enable, uint8_t a, uint8_t b, uint16_t c, uint16_t d,
                               uint8_t bank);
    uint8_t getSobel(uint8_t* enable, uint8_t* a, uint8_t* b, uint8_t* c, uint8_t bank);
    uint8_t setSobel(uint8_t enable, uint8_t a, uint8_t b, uint8_t c, uint8_t bank);
    uint8_t getMaskEnable(uint8_t* m1, uint8_t* m2, uint8_t* m3);
    uint8_t setMaskEnable(uint8_t m1, uint8_t m2, uint8_t m3);
    uint8_t getMaskParams(uint16_t* a, uint16_t* b, uint16_t* c, uint16_t* d, uint16_t* e);
    uint8_t setMaskParams(uint16_t a, uint16_t b, uint16_t c, uint16_t d, uint16_t e);

    // White balance.
    uint8_t getWbWindow(uint16_t* x1, uint16_t* y1, uint16_t* x2, uint16_t* y2, uint8_t* enable);
    uint8_t setWbWindow(uint16_t x1, uint16_t y1, uint16_t x2, uint16_t y2, uint8_t enable);
    // Clears the callback, then starts a white balance.
    uint8_t doWbPush();
    // Registers the callback (null clears it), then starts a white balance; a failed start
    // withdraws the registration, since the caller may free the user value then.
    uint8_t doWbPushCb(WbPushCallback callback, void* user);

    // Geometry.
    uint8_t getScaleZ(uint8_t* mode, uint16_t* a, uint16_t* b, uint16_t* c, uint16_t* d,
                      uint8_t* z);
    uint8_t setScaleZ(uint8_t mode, uint16_t a, uint16_t b, uint16_t c, uint16_t d, uint8_t z);
    uint8_t getBinning(uint8_t* a, uint8_t* b);
    uint8_t setBinning(uint8_t a, uint8_t b);
    // Reports the head keys' flip when one is set (with a VERBOSE message), else the software's.
    uint8_t getHvFlip(uint8_t* horizontal, uint8_t* vertical);
    uint8_t getHvFlipStatic(uint8_t* horizontal, uint8_t* vertical, uint8_t* staticHorizontal,
                            uint8_t* staticVertical);
    uint8_t setHvFlip(uint8_t horizontal, uint8_t vertical);

    // Exposure control.
    uint8_t getTarget(uint16_t* target);
    uint8_t setTarget(uint16_t target);
    uint8_t getOvExp(uint8_t* mode, uint16_t* value, uint8_t* c);
    uint8_t setOvExp(uint8_t mode, uint16_t value, uint8_t c);
    uint8_t getOvExpTarget(uint8_t* a, uint8_t* b, uint8_t* c, uint8_t* d);
    uint8_t setOvExpTarget(uint8_t a, uint8_t b, uint8_t c, uint8_t d);
    uint8_t getOvExpTargetSteps(uint8_t* first, uint8_t* p, uint8_t* q, uint8_t* r, uint8_t* last);
    uint8_t setOvExpTargetSteps(uint8_t first, const uint8_t* p, const uint8_t* q, const uint8_t* r,
                                uint8_t last);
    uint8_t getOvExpWeight(uint16_t* a, uint16_t* b, uint16_t* c, uint16_t* d, uint8_t* weights);
    uint8_t setOvExpWeight(uint16_t a, uint16_t b, uint16_t c, uint16_t d, const uint8_t* weights);

    // Defect-pixel correction. The table is read and written after DpcConfig, both in one unit.
    uint8_t getDpcConfig(uint8_t* enable, uint8_t* spare, uint16_t* value);
    uint8_t setDpcConfig(uint8_t enable, uint16_t value);
    uint8_t getDpcTable(DpcEntry* table);
    uint8_t setDpcTable(const DpcEntry* table);

    // Byte blocks passed through unchanged, by function.
    uint8_t getBytes(DspFunction function, uint8_t* out);
    uint8_t setBytes(DspFunction function, const uint8_t* in);
    // The microcontroller configuration: four bytes read, the same four and a 1 written.
    uint8_t setucConfig(const uint8_t* config);
    // Writes the single byte 0 to a command-like function (WbPush, UpInt, DpcDetect).
    uint8_t trigger(DspFunction function);
    // Has the camera store its current DSP settings.
    uint8_t saveDspSettings();

    // Reads of this object that brought no camera data (failed, or answered for another
    // function), so that a caller of several getters can tell real values from failure values.
    int readsWithoutData() const { return readsWithoutData_; }

  private:
    struct readResult {
        uint8_t status;
        bool hasData;  // the camera answered with this function's bytes
    };

    template <std::size_t N>
    readResult read(uint8_t code, std::array<uint8_t, N>& block);
    template <std::size_t N>
    uint8_t write(uint8_t code, const std::array<uint8_t, N>& block);
    // The code of `bank`, or none after the invalid-bank message.
    std::optional<uint8_t> codeOfBank(DspFunction bank0, uint8_t bank);

    cameraDsp& dsp_;
    logger& log_;
    const char* exportName_;
    int readsWithoutData_ = 0;
};

}  // namespace dravix
