// Picture file exports: JPEG, BMP and raw pictures of the next frame, and the JPEG quality.
#include <climits>
#include <cstring>
#include <string>

#include "api/exportGuard.h"
#include "camera/camera.h"
#include "dravix/dravix.h"
#include "log/logger.h"

namespace dravix {
namespace {

// Raw pictures are always named by date, time and the per-second counter.
constexpr int32_t kRawNameMode = 7;

// 0 when the picture is pending; 1 when the request was not accepted (logged). The client's path
// is read up to the system's path limit at most: an unterminated text is never read past that,
// and a path that long is refused as too long.
int32_t savePicture(const char* exportName, int32_t index, const char* path, int32_t nameMode,
                    cPictureIO::pictureType type) {
    const std::shared_ptr<camera> cam = guardedCamera(exportName, index);
    if (cam == nullptr || isNullArgument(exportName, path)) {
        return kResultFailure;
    }
    const std::string text(path, strnlen(path, PATH_MAX));
    return cam->video().pictures().setPictureFilename(type, text, nameMode) == 0 ? kResultSuccess
                                                                                 : kResultFailure;
}

}  // namespace
}  // namespace dravix

using namespace dravix;

extern "C" {

int32_t ZEL_CAM_SaveJPG(int32_t index, const char* path, int32_t nameMode) try {
    return savePicture(__func__, index, path, nameMode, cPictureIO::pictureType::jpeg);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_SaveRAW(int32_t index, const char* path) try {
    return savePicture(__func__, index, path, kRawNameMode, cPictureIO::pictureType::raw);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_SaveBMP(int32_t index, const char* path, int32_t nameMode) try {
    return savePicture(__func__, index, path, nameMode, cPictureIO::pictureType::bmp);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_SetBMPOptions(int32_t index, int32_t /*options*/) try {
    return notImplementedForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_SetJPGOptions(int32_t index, const uint8_t* quality) try {
    const std::shared_ptr<camera> cam = guardedCamera(__func__, index);
    if (cam == nullptr || isNullArgument(__func__, quality)) {
        return kResultFailure;
    }
    cam->video().pictures().setJpegQuality(*quality);
    return kResultSuccess;
} catch (...) {
    return failedByException(__func__);
}

}  // extern "C"
