#include "platform/linux/v4l2DeviceKey.h"

#include <optional>

#include "platform/linux/usbDeviceKey.h"

namespace dravix::platform {
namespace {

namespace fs = std::filesystem;

// Tells apart several capture nodes of one device; the first node (index 0) needs nothing.
std::string nodeSuffix(const fs::path& classDevice) {
    const std::optional<std::string> index = usbDeviceKey::readNumber(classDevice / "index");
    return index && *index != "0" ? "@" + *index : "";
}

}  // namespace

std::string v4l2DeviceKey::of(const fs::path& classDevice) {
    // Node names ("video12") are unique among present nodes and short; they serve every node
    // that does not belong to a USB device.
    const std::string nodeName = classDevice.filename().string();
    const std::optional<fs::path> usbDevice = usbDeviceKey::deviceAbove(classDevice);
    if (!usbDevice) {
        return nodeName;
    }
    return usbDeviceKey::of(*usbDevice, nodeSuffix(classDevice)).value_or(nodeName);
}

}  // namespace dravix::platform
