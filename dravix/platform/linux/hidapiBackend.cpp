#include "platform/linux/hidapiBackend.h"

#include <hidapi.h>

#include <memory>
#include <mutex>
#include <utility>

#include "platform/linux/hidrawDevice.h"
#include "platform/linux/usbDeviceKey.h"

namespace dravix::platform {
namespace {

// hidapi keeps one process-wide error text that hid_init and hid_enumerate free and replace
// without a lock, so these calls are serialised across every backend object.
std::mutex& libraryMutex() {
    static std::mutex mutex;
    return mutex;
}

// Whether hid_init succeeded and hid_exit has not run since. Guarded by libraryMutex().
bool& libraryInitialised() {
    static bool initialised = false;
    return initialised;
}

// Initialises hidapi on first use, and again after a release. The caller holds libraryMutex().
bool libraryReady() {
    bool& initialised = libraryInitialised();
    if (!initialised) {
        initialised = hid_init() == 0;
    }
    return initialised;
}

struct enumerationListDeleter {
    void operator()(hid_device_info* list) const { hid_free_enumeration(list); }
};
using enumerationList = std::unique_ptr<hid_device_info, enumerationListDeleter>;

bool hasIds(const hid_device_info& entry, uint16_t vendorId, uint16_t productId) {
    return entry.vendor_id == vendorId && entry.product_id == productId;
}

hidInterfaceInfo toInterfaceInfo(const hid_device_info& entry) {
    hidInterfaceInfo info;
    info.path = entry.path != nullptr ? entry.path : "";
    info.vendorId = entry.vendor_id;
    info.productId = entry.product_id;
    info.usagePage = entry.usage_page;
    info.usage = entry.usage;
    return info;
}

}  // namespace

hidapiBackend::hidapiBackend(std::filesystem::path hidrawClass)
    : hidrawClass_(std::move(hidrawClass)) {}

std::vector<hidInterfaceInfo> hidapiBackend::enumerate(uint16_t vendorId, uint16_t productId) {
    std::vector<hidInterfaceInfo> interfaces;
    std::lock_guard<std::mutex> lock(libraryMutex());
    if (!libraryReady()) {
        return interfaces;
    }
    // hidapi treats 0 as "any id"; the filter keeps the list to the requested device.
    const enumerationList list(hid_enumerate(vendorId, productId));
    for (const hid_device_info* entry = list.get(); entry != nullptr; entry = entry->next) {
        if (hasIds(*entry, vendorId, productId)) {
            interfaces.push_back(toInterfaceInfo(*entry));
            interfaces.back().deviceKey = deviceKeyOf(interfaces.back().path);
        }
    }
    return interfaces;
}

// hidapi names the node ("/dev/hidraw3"); its class device has the same name.
std::string hidapiBackend::deviceKeyOf(const std::string& nodePath) const {
    const std::filesystem::path node(nodePath);
    if (!node.has_filename()) {
        return {};
    }
    return usbDeviceKey::ofClassDevice(hidrawClass_ / node.filename());
}

void hidapiBackend::releaseLibrary() {
    std::lock_guard<std::mutex> lock(libraryMutex());
    if (libraryInitialised()) {
        hid_exit();
        libraryInitialised() = false;
    }
}

std::unique_ptr<hidDevice> hidapiBackend::open(const std::string& path) {
    return hidrawDevice::open(path);
}

}  // namespace dravix::platform
