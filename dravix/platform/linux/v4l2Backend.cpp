#include "platform/linux/v4l2Backend.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/linux/v4l2Capture.h"
#include "platform/linux/v4l2DeviceKey.h"
#include "platform/linux/v4l2DevicePath.h"
#include "platform/linux/v4l2Node.h"

namespace dravix::platform {
namespace {

namespace fs = std::filesystem;

constexpr char kNodePrefix[] = "video";

// The number of a node named videoN; nothing for other names.
std::optional<unsigned long> nodeNumber(const std::string& name) {
    if (name.rfind(kNodePrefix, 0) != 0) {
        return std::nullopt;
    }
    const std::string digits = name.substr(sizeof(kNodePrefix) - 1);
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; })) {
        return std::nullopt;
    }
    return std::stoul(digits);
}

// The videoN entries of `directory`, by node number.
std::vector<fs::path> nodePaths(const fs::path& directory) {
    std::vector<std::pair<unsigned long, fs::path>> numbered;
    std::error_code error;
    for (fs::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        if (const auto number = nodeNumber(entry->path().filename().string())) {
            numbered.emplace_back(*number, entry->path());
        }
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<fs::path> paths;
    for (auto& entry : numbered) {
        paths.push_back(std::move(entry.second));
    }
    return paths;
}

std::optional<videoDeviceInfo> describe(const fs::path& path) {
    int error = 0;
    const std::unique_ptr<v4l2Node> node = v4l2Node::open(path.string(), error);
    if (!node) {
        return std::nullopt;
    }
    std::optional<std::string> card = node->captureCardName();
    const std::string devicePath =
        v4l2DevicePath{path.string(), v4l2DeviceKey::of(node->sysfsClassDevice())}.text();
    if (!card || devicePath.empty()) {
        return std::nullopt;
    }
    return videoDeviceInfo{std::move(*card), devicePath};
}

}  // namespace

v4l2Backend::v4l2Backend(fs::path deviceDirectory) : deviceDirectory_(std::move(deviceDirectory)) {}

std::vector<videoDeviceInfo> v4l2Backend::enumerate() {
    std::vector<videoDeviceInfo> devices;
    for (const fs::path& path : nodePaths(deviceDirectory_)) {
        if (std::optional<videoDeviceInfo> device = describe(path)) {
            devices.push_back(std::move(*device));
        }
    }
    return devices;
}

std::unique_ptr<videoCapture> v4l2Backend::bind(const std::string& devicePath, int& error) {
    const std::optional<v4l2DevicePath> path = v4l2DevicePath::parse(devicePath);
    if (!path) {
        error = -EINVAL;
        return nullptr;
    }
    std::unique_ptr<v4l2Node> node = v4l2Node::open(path->node, error);
    if (!node) {
        return nullptr;
    }
    if (!node->captureCardName() || v4l2DeviceKey::of(node->sysfsClassDevice()) != path->key) {
        error = -ENODEV;
        return nullptr;
    }
    error = 0;
    return std::make_unique<v4l2Capture>(std::move(node));
}

}  // namespace dravix::platform
