#include "platform/linux/usbDeviceKey.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

namespace dravix::platform {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> busAndDeviceNumber(const fs::path& usbDevice) {
    const std::optional<std::string> bus = usbDeviceKey::readNumber(usbDevice / "busnum");
    const std::optional<std::string> device = usbDeviceKey::readNumber(usbDevice / "devnum");
    if (!bus || !device) {
        return std::nullopt;
    }
    return "b" + *bus + "d" + *device;
}

}  // namespace

std::optional<std::string> usbDeviceKey::readNumber(const fs::path& attribute) {
    std::ifstream stream(attribute);
    std::string value;
    if (!(stream >> value) || value.size() > 10 ||
        !std::all_of(value.begin(), value.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; })) {
        return std::nullopt;
    }
    return value;
}

std::optional<fs::path> usbDeviceKey::deviceAbove(const fs::path& classDevice) {
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

std::optional<std::string> usbDeviceKey::of(const fs::path& usbDevice, const std::string& suffix) {
    const std::string portPath = usbDevice.filename().string() + suffix;
    if (portPath.size() <= kMaxLength && portPath.find('#') == std::string::npos) {
        return portPath;
    }
    const std::optional<std::string> numbers = busAndDeviceNumber(usbDevice);
    if (!numbers || numbers->size() + suffix.size() > kMaxLength) {
        return std::nullopt;
    }
    return *numbers + suffix;
}

std::string usbDeviceKey::ofClassDevice(const fs::path& classDevice) {
    const std::optional<fs::path> usbDevice = deviceAbove(classDevice);
    if (!usbDevice) {
        return {};
    }
    return of(*usbDevice).value_or(std::string());
}

}  // namespace dravix::platform
