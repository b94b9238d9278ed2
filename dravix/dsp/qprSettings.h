#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "dsp/cameraDsp.h"
#include "dsp/qprFile.h"
#include "log/logger.h"

namespace dravix {

// The camera's side of a settings file: captures the DSP values into the datasets of an image
// and applies an image's datasets to the camera, through the parameter conversions the exports
// use. No file access.
class qprSettings {
  public:
    using pauseFunction = std::function<void(std::chrono::milliseconds)>;
    // The camera needs this long between the exposure weights and the exposure mode.
    static constexpr std::chrono::milliseconds kOvExpPause{60};
    // The pause of a real camera: sleeps on the calling thread.
    static void sleep(std::chrono::milliseconds duration);

    // Messages of failed DSP operations name `exportName`. `pause` waits between the exposure
    // writes; tests and the fuzz target pass one that only records.
    qprSettings(cameraDsp& dsp, logger& log, const char* exportName, pauseFunction pause);

    // Reads every value a file can hold into `slots` and marks those datasets present (all but
    // 'H', 'V', 'Z', 'F'). The reads form one unit, so no other thread's block lands between
    // them. False when any read failed or brought no camera data.
    bool capture(qprFile::image& slots);

    // Writes the datasets whose group is in `mask` and which `slots` holds, in the camera's
    // order; the exposure group only with both its datasets. A failed write is logged and the
    // next step follows. Returns the number of failed writes.
    int apply(const qprFile::image& slots, uint32_t mask);

  private:
    cameraDsp& dsp_;
    logger& log_;
    const char* exportName_;
    pauseFunction pause_;
};

}  // namespace dravix
