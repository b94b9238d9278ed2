// Camera settings file exports. An index outside the table counts as an empty slot. Each export
// checks its camera (held for the call) and the path, then hands over to qprSettingsFile.
#include <limits.h>

#include <cstring>
#include <memory>
#include <string>

#include "api/exportGuard.h"
#include "camera/camera.h"
#include "dravix/dravix.h"
#include "dsp/qprSettings.h"
#include "dsp/qprSettingsFile.h"
#include "log/logger.h"

using namespace dravix;

namespace {

template <typename Action>
int32_t settingsFileExport(const char* exportName, int32_t index, const char* path, Action action) {
    const std::shared_ptr<camera> cam = guardedSlot(exportName, index);
    if (cam == nullptr || isNullArgument(exportName, path)) {
        return kResultFailure;
    }
    // Read no further than the longest path the system takes: an unterminated buffer of that
    // size is never read past its end, and a path that long fails to open.
    const std::string boundedPath(path, strnlen(path, PATH_MAX));
    qprSettingsFile file(*cam, libraryLog(), &qprSettings::sleep);
    return action(file, boundedPath);
}

}  // namespace

extern "C" {

int32_t ZEL_CAM_readQprFile(int32_t index, const char* path, uint8_t headType) try {
    return settingsFileExport(__func__, index, path,
                              [&](qprSettingsFile& file, const std::string& boundedPath) {
                                  return file.read(boundedPath, headType);
                              });
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_writeQprFile(int32_t index, const char* path, uint8_t headType) try {
    return settingsFileExport(__func__, index, path,
                              [&](qprSettingsFile& file, const std::string& boundedPath) {
                                  return file.write(boundedPath, headType);
                              });
} catch (...) {
    return failedByException(__func__);
}

}  // extern "C"
