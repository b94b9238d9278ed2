#include "emu/emulatedVideoBackend.h"

#include <cerrno>
#include <utility>

#include "emu/emulatedCameraSet.h"
#include "emu/emulatedVideoCapture.h"

namespace dravix::emu {

emulatedVideoBackend::emulatedVideoBackend(emulatedCameraSet& cameras) : cameras_(cameras) {}

std::vector<platform::videoDeviceInfo> emulatedVideoBackend::enumerate() {
    ++enumerations_;
    std::vector<platform::videoDeviceInfo> found;
    for (const auto& camera : cameras_.cameras()) {
        if (auto device = camera->videoDevice()) {
            found.push_back(std::move(*device));
        }
    }
    return found;
}

std::unique_ptr<platform::videoCapture> emulatedVideoBackend::bind(const std::string& devicePath,
                                                                   int& error) {
    for (auto& camera : cameras_.cameras()) {
        if (camera->videoPath() != devicePath) {
            continue;
        }
        uint64_t session = camera->video_.session();
        if (session == emulatedVideoSource::kNoSession) {
            error = -ENODEV;
            return nullptr;
        }
        error = 0;
        return std::make_unique<emulatedVideoCapture>(std::move(camera), session);
    }
    error = -ENOENT;
    return nullptr;
}

}  // namespace dravix::emu
