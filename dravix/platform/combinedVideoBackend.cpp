#include "platform/combinedVideoBackend.h"

#include <cerrno>

namespace dravix::platform {

combinedVideoBackend::combinedVideoBackend(std::initializer_list<videoBackend*> backends)
    : backends_(backends) {}

std::vector<videoDeviceInfo> combinedVideoBackend::enumerate() {
    std::vector<videoDeviceInfo> all;
    for (videoBackend* backend : backends_) {
        std::vector<videoDeviceInfo> found = backend->enumerate();
        all.insert(all.end(), found.begin(), found.end());
    }
    return all;
}

// The first backend that binds the path wins; otherwise the first real error is reported.
std::unique_ptr<videoCapture> combinedVideoBackend::bind(const std::string& devicePath,
                                                         int& error) {
    int firstError = -ENOENT;
    for (videoBackend* backend : backends_) {
        int backendError = 0;
        if (std::unique_ptr<videoCapture> capture = backend->bind(devicePath, backendError)) {
            error = 0;
            return capture;
        }
        if (backendError != 0 && backendError != -ENOENT && firstError == -ENOENT) {
            firstError = backendError;
        }
    }
    error = firstError;
    return nullptr;
}

}  // namespace dravix::platform
