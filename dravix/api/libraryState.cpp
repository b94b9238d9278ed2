#include "api/libraryState.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "api/camera.h"
#include "api/videoDeviceList.h"
#include "log/logger.h"
#include "platform/config.h"
#include "platform/hid.h"
#include "platform/video.h"

namespace dravix {

namespace {
std::atomic<libraryState*> createdState{nullptr};
}  // namespace

libraryState* libraryState::existing() {
    return createdState;
}

libraryState& libraryState::instance() {
    static libraryState state;
    return state;
}

// The backends the cameras use exist before the table, so that they are destroyed after it at
// the end of the process: a camera left in the table still closes its devices then.
libraryState::libraryState() {
    platform::systemVideo();
    platform::systemHid();
    createdState = this;
}

libraryState::~libraryState() {
    createdState = nullptr;
    destroyAll();
}

camera* libraryState::cameraAt(int32_t index) const {
    return isValidIndex(index) ? cameraTable_[static_cast<std::size_t>(index)].load() : nullptr;
}

camera* libraryState::installCamera(int32_t index, std::unique_ptr<camera> cam) {
    // The old camera ends before the new one takes its place.
    if (!isValidIndex(index) || !destroyCamera(index)) {
        return nullptr;
    }
    camera* installed = cam.release();
    cameraTable_[static_cast<std::size_t>(index)] = installed;
    return installed;
}

// The slot is emptied before the camera goes. Its destruction joins the camera's threads, so a
// callback on one of them that still found the camera in the slot is finished first. On one of
// those threads the camera stays: nothing could join the thread that destroys it.
bool libraryState::destroyCamera(int32_t index) {
    if (!isValidIndex(index)) {
        return true;
    }
    auto& slot = cameraTable_[static_cast<std::size_t>(index)];
    const camera* cam = slot.load();
    if (cam != nullptr && cam->isOwnThread()) {
        return false;
    }
    delete slot.exchange(nullptr);
    return true;
}

void libraryState::destroyAll() {
    for (int32_t index = 0; index < kCameraSlots; ++index) {
        destroyCamera(index);
    }
    releaseDeviceListIfUnused();
}

bool libraryState::allSlotsEmpty() const {
    return std::all_of(cameraTable_.begin(), cameraTable_.end(),
                       [](const std::atomic<camera*>& cam) { return cam.load() == nullptr; });
}

videoDeviceList& libraryState::deviceList() {
    if (devices_ == nullptr) {
        devices_ = std::make_unique<videoDeviceList>(platform::systemVideo(), libraryLog());
    }
    return *devices_;
}

void libraryState::releaseDeviceListIfUnused() {
    if (allSlotsEmpty()) {
        devices_.reset();
    }
}

void libraryState::openLogIfAbsent() {
    logger& log = libraryLog();
    if (log.isOpen()) {
        return;
    }
    const std::string path = platform::userProfileDirectory() + "/dravix.log";
    log.open(path, platform::readConfigValue("LOG_DISABLE") == 0,
             platform::readConfigValue("FILELOG_ENABLE") == 1);
}

void libraryState::closeLog() {
    libraryLog().close();
}

}  // namespace dravix
