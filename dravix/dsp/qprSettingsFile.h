#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dsp/cameraDsp.h"
#include "dsp/qprSettings.h"
#include "log/logger.h"

namespace dravix {

namespace platform {
class replacingFile;
}

// Saves a camera's settings to a QPR file and restores them from one. Each call works on an
// image of its own, so calls on one camera never mix.
//
// Writing returns 0; -1 when the file cannot be created; 1 when a write to it failed, when a
// camera value could not be read or when the head type is above 6 (no file is then created or
// replaced). Reading returns 0; -1 when the file cannot be opened (only regular files up to
// kMaxFileBytes are read) or is not whole (wrong identification, invalid, cut short, no end
// marker); -2 when no 'H' dataset named the head type, which takes precedence; 1 when a write to
// the camera failed and the result would otherwise be 0. The datasets read whole are applied
// in every case, through the head type's filter; a head type with bit 7 set passes the 'H'
// check.
class qprSettingsFile {
  public:
    static constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;

    qprSettingsFile(cameraDsp& dsp, logger& log, qprSettings::pauseFunction pause);

    int32_t write(const std::string& path, uint8_t headType);
    int32_t read(const std::string& path, uint8_t headType);

  private:
    // Writes the serialised file dataset by dataset; the number of errors.
    int writeDatasets(platform::replacingFile& file, const std::vector<uint8_t>& bytes,
                      uint8_t headType);

    cameraDsp& dsp_;
    logger& log_;
    qprSettings::pauseFunction pause_;
};

}  // namespace dravix
