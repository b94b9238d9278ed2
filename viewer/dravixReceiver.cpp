#include "dravixReceiver.h"

#include <cstdio>
#include <utility>

#include "frameRing.h"

namespace {

const char kDashLine[] = "----------------------------------------------------\n";
const char kMatchName[] = "dravixUVC";
constexpr uint16_t kVendorId = 0x20F1;
constexpr uint16_t kProductId = 0x107;
constexpr int32_t kInitReserved = 15;
constexpr int32_t kStartMode = 1;

int frameCallback(uint8_t* frame, int32_t bytes, void*) {
    frameRing::shared().store(frame, bytes);
    return 0;
}

// Prints the control unit FPGA's build (component 1): three 8-bit parts and a 16-bit number.
int statusCallback(DeviceStatus* status, void*) {
    if (status != nullptr) {
        const BuildInfo& build = status->buildCcuFpga;
        std::printf("StatusCallback:FPGAversion: %d.%d.%d.%d\n", build.part[0], build.part[1],
                    build.part[2], build.number);
    }
    return 0;
}

}  // namespace

dravixReceiver::dravixReceiver(std::string libraryFile, QObject* parent)
    : QThread(parent), libraryFile_(std::move(libraryFile)) {}

dravixReceiver::~dravixReceiver() {
    if (library_.loaded()) {
        closeCam();
    }
}

bool dravixReceiver::loadDll() {
    const bool loaded = library_.load(libraryFile_);
    loadError_ = loaded ? 0 : 1;
    if (!loaded) {
        std::printf("could not load dll:\"%s\"\n", libraryFile_.c_str());
        std::fprintf(stderr, "%s\n", library_.error().c_str());
        return false;
    }
    if (!hasEntryPointsItCalls()) {
        library_.unload();
        loadError_ = 1;
        std::printf("could not load dll:\"%s\"\n", libraryFile_.c_str());
        return false;
    }
    frameRing::shared().startTaking();
    std::printf("dll: \"%s\" loaded\n", libraryFile_.c_str());
    library_.api().ZEL_CAM_GetApiVersion(apiVersion_);
    apiVersion_[sizeof(apiVersion_) - 1] = '\0';
    std::printf("%sAPI VERSION: %s\n%s", kDashLine, apiVersion_, kDashLine);
    return true;
}

bool dravixReceiver::hasEntryPointsItCalls() const {
    const CamApi& api = library_.api();
#define KYRVIEWER_BOUND(name) \
    { #name, api.name != nullptr }
    const std::pair<const char*, bool> called[] = {
        KYRVIEWER_BOUND(ZEL_CAM_GetApiVersion),  KYRVIEWER_BOUND(ZEL_CAM_InitName),
        KYRVIEWER_BOUND(ZEL_CAM_Open),           KYRVIEWER_BOUND(ZEL_CAM_FrameCallback),
        KYRVIEWER_BOUND(ZEL_CAM_StatusCallback), KYRVIEWER_BOUND(ZEL_CAM_StartPic),
        KYRVIEWER_BOUND(ZEL_CAM_Stop),           KYRVIEWER_BOUND(ZEL_CAM_Close),
        KYRVIEWER_BOUND(ZEL_CAM_Destroy),
    };
#undef KYRVIEWER_BOUND
    bool complete = true;
    for (const auto& [name, bound] : called) {
        if (!bound) {
            std::printf("dll: \"%s\" has no entry point %s\n", libraryFile_.c_str(), name);
            complete = false;
        }
    }
    return complete;
}

int32_t dravixReceiver::initCam() {
    std::printf("--- ZEL_CAM_Init ---\n");
    if (!library_.loaded()) {
        return 1;
    }
    const int32_t result = library_.api().ZEL_CAM_InitName(
        kInitReserved, &cameraIndex_, &cameraCount_, kMatchName, kVendorId, kProductId);
    std::printf("   return: %d\n   camIdx: %d\n   camCnt: %d\n", result, cameraIndex_,
                cameraCount_);
    return result;
}

bool dravixReceiver::openCam() {
    frameRing::shared().clearFormat();
    const CamApi& api = library_.api();
    if (!library_.loaded() || api.ZEL_CAM_Open(cameraIndex_) > 0) {
        cameraOpened_ = false;
        return false;
    }
    cameraOpened_ = true;
    api.ZEL_CAM_FrameCallback(cameraIndex_, frameCallback, nullptr);
    api.ZEL_CAM_StatusCallback(cameraIndex_, statusCallback, nullptr);
    std::printf("Camera open\n");
    return true;
}

bool dravixReceiver::startAcquisition() {
    if (!library_.loaded()) {
        return true;
    }
    library_.api().ZEL_CAM_Stop(cameraIndex_);
    frameRing::shared().clearFormat();
    startStream();
    return true;
}

bool dravixReceiver::restartCam() {
    if (!library_.loaded()) {
        return true;
    }
    const CamApi& api = library_.api();
    api.ZEL_CAM_Stop(cameraIndex_);
    api.ZEL_CAM_Close(cameraIndex_);
    api.ZEL_CAM_Open(cameraIndex_);
    frameRing::shared().clearFormat();
    msleep(kRestartPauseMs);
    startStream();
    return true;
}

void dravixReceiver::startStream() {
    startResult_ =
        static_cast<uint8_t>(library_.api().ZEL_CAM_StartPic(cameraIndex_, kStartMode, 0));
}

int dravixReceiver::allocFrameBuffers() {
    frameRing::shared().allocate();
    return 0;
}

int dravixReceiver::closeCam() {
    frameRing::shared().stopTaking();
    if (cameraOpened_ && library_.loaded()) {
        shutDownCamera();
    }
    library_.unload();
    cameraOpened_ = false;
    std::printf("exiting cam receiver\n");
    return 0;
}

// Stop, close and destroy, each only after the one before succeeded; every step not done after a
// failure is reported as failed too.
void dravixReceiver::shutDownCamera() {
    const CamApi& api = library_.api();
    if (api.ZEL_CAM_Stop(cameraIndex_) != 0) {
        std::printf("error stop\nerror close\nerror destroy\n");
        return;
    }
    if (api.ZEL_CAM_Close(cameraIndex_) != 0) {
        std::printf("error close\nerror destroy\n");
        return;
    }
    if (api.ZEL_CAM_Destroy(static_cast<uint8_t>(cameraIndex_)) != 0) {
        std::printf("error destroy\n");
    }
}

void dravixReceiver::resetFrameCount() {
    frameRing::shared().resetFrameCount();
}

int dravixReceiver::getFrameCount() const {
    return frameRing::shared().frameCount();
}

int dravixReceiver::getFrameIndex() const {
    return frameRing::shared().newestIndex();
}

const cv::Mat* dravixReceiver::claimFrame(int index) {
    frameRing& ring = frameRing::shared();
    return ring.claim(index) ? &ring.claimed() : nullptr;
}

void dravixReceiver::releaseFrame() {
    frameRing::shared().release();
}

int dravixReceiver::getWidth() const {
    return frameRing::shared().currentFormat().width;
}

int dravixReceiver::getHeight() const {
    return frameRing::shared().currentFormat().height;
}
