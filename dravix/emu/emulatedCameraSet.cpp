#include "emu/emulatedCameraSet.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace dravix::emu {

namespace {

// Numbers every batch of cameras made in the process, so that their video keys never repeat.
std::atomic<uint32_t> lastSetId{0};

}  // namespace

emulatedCameraSet& emulatedCameraSet::instance() {
    static emulatedCameraSet cameras(countFromEnvironment(std::getenv("DRAVIX_CAMEMU")));
    return cameras;
}

int emulatedCameraSet::countFromEnvironment(const char* value) {
    if (value == nullptr) {
        return 0;
    }
    std::size_t length = std::strlen(value);
    if (length == 0 || length > 2 || std::strspn(value, "0123456789") != length) {
        return 0;
    }
    int count = std::atoi(value);
    return count >= 1 && count <= kMaxCameras ? count : 0;
}

emulatedCameraSet::emulatedCameraSet(int count, const emulatedVideoFormat& format)
    : format_(format) {
    configure(count);
}

void emulatedCameraSet::configure(int count) {
    if (count < 0 || count > kMaxCameras) {
        throw std::invalid_argument("emulatedCameraSet::configure: count out of range");
    }
    auto fresh = makeCameras(count);
    std::vector<std::shared_ptr<emulatedCamera>> replaced;
    {
        mutexLock lock(mutex_);
        replaced = std::exchange(cameras_, std::move(fresh));
    }
    // Handles on the replaced cameras must fail from here on. Cameras that no handle holds
    // are destroyed on return, outside the lock.
    for (const auto& camera : replaced) {
        camera->unplug();
    }
}

int emulatedCameraSet::count() const {
    mutexLock lock(mutex_);
    return static_cast<int>(cameras_.size());
}

std::shared_ptr<emulatedCamera> emulatedCameraSet::camera(int number) const {
    mutexLock lock(mutex_);
    if (number < 1 || number > static_cast<int>(cameras_.size())) {
        return nullptr;
    }
    return cameras_[static_cast<std::size_t>(number - 1)];
}

std::vector<std::shared_ptr<emulatedCamera>> emulatedCameraSet::cameras() const {
    mutexLock lock(mutex_);
    return cameras_;
}

std::vector<std::shared_ptr<emulatedCamera>> emulatedCameraSet::makeCameras(int count) const {
    uint32_t setId = ++lastSetId;
    std::vector<std::shared_ptr<emulatedCamera>> made;
    for (int number = 1; number <= count; ++number) {
        made.push_back(std::make_shared<emulatedCamera>(number, setId, format_));
    }
    return made;
}

}  // namespace dravix::emu
