#include "cameraSession.h"

#include <algorithm>

#include "commandFailed.h"

namespace dravixctl {
namespace {

// The name the library matches against video devices, and the camera's USB ids (those of the
// udev rule): what ZEL_CAM_Init uses, passed explicitly because only ZEL_CAM_InitName reports
// the number of cameras found.
constexpr char kMatchName[] = "dravix";
constexpr uint16_t kVendorId = 0x20F1;
constexpr uint16_t kProductId = 0x0107;

bool hasIdentity(const DeviceStatus& status) {
    return status.versionFx3.major != 0 || status.versionFx3.minor != 0 ||
           status.versionFx3.patch != 0 || status.serialFx3.number != 0;
}

}  // namespace

cameraSession::~cameraSession() {
    for (auto slot = open_.rbegin(); slot != open_.rend(); ++slot) {
        ZEL_CAM_Close(*slot);
    }
    for (auto slot = initialisedSlots_.rbegin(); slot != initialisedSlots_.rend(); ++slot) {
        ZEL_CAM_Destroy(static_cast<uint8_t>(*slot));
    }
    if (initialised_ && initialisedSlots_.empty()) {
        // Destroy also ends the library's log session, so that its threads are gone before exit.
        ZEL_CAM_Destroy(0);
    }
}

int32_t cameraSession::initSlot(int32_t& index, uint8_t& count) {
    initialised_ = true;
    const int32_t result = ZEL_CAM_InitName(0, &index, &count, kMatchName, kVendorId, kProductId);
    if (result == 0 && std::find(initialisedSlots_.begin(), initialisedSlots_.end(), index) ==
                           initialisedSlots_.end()) {
        initialisedSlots_.push_back(index);
    }
    return result;
}

int cameraSession::cameraCount() {
    int32_t index = 0;
    uint8_t count = 0;
    found_ = initSlot(index, count) == 0 ? std::min<int>(count, kSlots) : 0;
    return found_;
}

void cameraSession::openUpTo(int32_t index) {
    const int count = cameraCount();
    if (index >= count) {
        throw commandFailed("no camera " + std::to_string(index) + ": `dravixctl list` shows " +
                            std::to_string(count) + (count == 1 ? " camera" : " cameras"));
    }
    for (int32_t wanted = static_cast<int32_t>(open_.size()); wanted <= index; ++wanted) {
        int32_t slot = wanted;
        uint8_t found = 0;
        const int32_t initResult = initSlot(slot, found);
        if (initResult != 0 || slot != wanted) {
            throw commandFailed("cannot find camera " + std::to_string(wanted) +
                                ": is it connected? (result " + std::to_string(initResult) + ")");
        }
        const int32_t result = ZEL_CAM_Open(slot);
        if (result != 0) {
            throw commandFailed("cannot open camera " + std::to_string(slot) +
                                ": is it in use? (result " + std::to_string(result) + ")");
        }
        open_.push_back(slot);
        openedAt_ = std::chrono::steady_clock::now();
        // Registered on the open camera: the library then announces the application to the
        // camera, which answers with its start report, and the identity is read.
        slots_[slot] = {this, slot};
        ZEL_CAM_StatusCallback(slot, &cameraSession::onStatus, &slots_[slot]);
    }
}

void cameraSession::close(int32_t index) {
    for (auto slot = open_.begin(); slot != open_.end(); ++slot) {
        if (*slot == index) {
            open_.erase(slot);
            ZEL_CAM_Close(index);
            return;
        }
    }
}

int cameraSession::onStatus(DeviceStatus* status, void* user) {
    if (status == nullptr) {
        return 0;
    }
    const auto* slot = static_cast<const statusSlot*>(user);
    cameraSession& self = *slot->owner;
    {
        std::lock_guard<std::mutex> lock(self.mutex_);
        self.status_[slot->index] = *status;
        self.identified_[slot->index] = self.identified_[slot->index] || hasIdentity(*status);
    }
    self.reported_.notify_all();
    return 0;
}

DeviceStatus cameraSession::statusOf(int32_t index, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    reported_.wait_until(lock, openedAt_ + timeout, [&] { return identified_[index]; });
    return status_[index];
}

bool cameraSession::identified(int32_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    return identified_[index];
}

}  // namespace dravixctl
