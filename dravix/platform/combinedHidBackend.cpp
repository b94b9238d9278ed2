#include "platform/combinedHidBackend.h"

namespace dravix::platform {

combinedHidBackend::combinedHidBackend(std::initializer_list<hidBackend*> backends)
    : backends_(backends) {}

std::vector<hidInterfaceInfo> combinedHidBackend::enumerate(uint16_t vendorId,
                                                            uint16_t productId) {
    std::vector<hidInterfaceInfo> all;
    for (hidBackend* backend : backends_) {
        std::vector<hidInterfaceInfo> found = backend->enumerate(vendorId, productId);
        all.insert(all.end(), found.begin(), found.end());
    }
    return all;
}

std::unique_ptr<hidDevice> combinedHidBackend::open(const std::string& path) {
    for (hidBackend* backend : backends_) {
        if (std::unique_ptr<hidDevice> device = backend->open(path)) {
            return device;
        }
    }
    return nullptr;
}

}  // namespace dravix::platform
