#include "emu/emulatedHidBackend.h"

#include "emu/emulatedCameraSet.h"
#include "emu/emulatedHidDevice.h"

namespace dravix::emu {

namespace {

bool idMatches(uint16_t wanted, uint16_t id) {
    return wanted == 0 || wanted == id;
}

}  // namespace

emulatedHidBackend::emulatedHidBackend(emulatedCameraSet& cameras) : cameras_(cameras) {}

std::vector<platform::hidInterfaceInfo> emulatedHidBackend::enumerate(uint16_t vendorId,
                                                                      uint16_t productId) {
    std::vector<platform::hidInterfaceInfo> found;
    if (!idMatches(vendorId, emulatedCamera::kVendorId) ||
        !idMatches(productId, emulatedCamera::kProductId)) {
        return found;
    }
    for (const auto& camera : cameras_.cameras()) {
        auto collections = camera->hidCollections();
        found.insert(found.end(), collections.begin(), collections.end());
    }
    return found;
}

std::unique_ptr<platform::hidDevice> emulatedHidBackend::open(const std::string& path) {
    for (auto& camera : cameras_.cameras()) {
        if (camera->hidPath() != path) {
            continue;
        }
        uint64_t session = camera->openSession();
        if (session == emulatedHidEndpoint::kNoSession) {
            return nullptr;
        }
        return std::make_unique<emulatedHidDevice>(std::move(camera), session);
    }
    return nullptr;
}

}  // namespace dravix::emu
