#include "platform/linux/v4l2DeviceKey.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <optional>
#include <system_error>

namespace dravix::platform {
namespace {

namespace fs = std::filesystem;

// The first word of a sysfs attribute, when it is a decimal number.
std::optional<std::string> readNumber(const fs::path& attribute) {
    std::ifstream stream(attribute);
    std::string value;
    if (!(stream >> value) || value.size() > 10 ||
        !std::all_of(value.begin(), value.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; })) {
        return std::nullopt;
    }
    return value;
}

// The USB device a node belongs to: the nearest directory above the node's device that has a bus
// and a device number. USB interfaces, which UVC nodes hang from, have neither.
std::optional<fs::path> usbDeviceAbove(const fs::path& classDevice) {
    std::error_code error;
    fs::path directory = fs::canonical(classDevice / "device", error);
    if (error) {
        return std::nullopt;
    }
    for (; directory.has_relative_path(); directory = directory.parent_path()) {
        if (fs::exists(directory / "busnum", error) && fs::exists(directory / "devnum", error)) {
            return directory;
        }
    }
    return std::nullopt;
}

// Tells apart several capture nodes of one device; the first node (index 0) needs nothing.
std::string nodeSuffix(const fs::path& classDevice) {
    const std::optional<std::string> index = readNumber(classDevice / "index");
    return index && *index != "0" ? "@" + *index : "";
}

std::optional<std::string> busAndDeviceNumber(const fs::path& usbDevice) {
    const std::optional<std::string> bus = readNumber(usbDevice / "busnum");
    const std::optional<std::string> device = readNumber(usbDevice / "devnum");
    if (!bus || !device) {
        return std::nullopt;
    }
    return "b" + *bus + "d" + *device;
}

std::optional<std::string> usbKey(const fs::path& usbDevice, const std::string& suffix) {
    const std::string portPath = usbDevice.filename().string() + suffix;
    if (portPath.size() <= v4l2DeviceKey::kMaxLength && portPath.find('#') == std::string::npos) {
        return portPath;
    }
    const std::optional<std::string> numbers = busAndDeviceNumber(usbDevice);
    if (!numbers || numbers->size() + suffix.size() > v4l2DeviceKey::kMaxLength) {
        return std::nullopt;
    }
    return *numbers + suffix;
}

}  // namespace

std::string v4l2DeviceKey::of(const fs::path& classDevice) {
    // Node names ("video12") are unique among present nodes and short; they serve every node
    // that does not belong to a USB device.
    const std::string nodeName = classDevice.filename().string();
    const std::optional<fs::path> usbDevice = usbDeviceAbove(classDevice);
    if (!usbDevice) {
        return nodeName;
    }
    return usbKey(*usbDevice, nodeSuffix(classDevice)).value_or(nodeName);
}

}  // namespace dravix::platform
