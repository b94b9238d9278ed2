#include "platform/linux/v4l2DevicePath.h"

#include <vector>

namespace dravix::platform {
namespace {

constexpr char kPrefix[] = "v4l2";
constexpr char kSeparator = '#';

bool isPart(const std::string& part) {
    return !part.empty() && part.find(kSeparator) == std::string::npos &&
           part.find('\0') == std::string::npos;
}

bool isValid(const v4l2DevicePath& path) {
    return isPart(path.node) && isPart(path.key) && path.node.front() == '/';
}

// Splits at every separator, keeping empty fields, so that "a##b" is not mistaken for "a#b".
std::vector<std::string> fields(const std::string& text) {
    std::vector<std::string> result;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type end = text.find(kSeparator, start);
        result.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return result;
        }
        start = end + 1;
    }
}

}  // namespace

std::string v4l2DevicePath::text() const {
    if (!isValid(*this)) {
        return "";
    }
    return std::string(kPrefix) + kSeparator + node + kSeparator + key;
}

std::optional<v4l2DevicePath> v4l2DevicePath::parse(const std::string& text) {
    const std::vector<std::string> parts = fields(text);
    if (parts.size() != 3 || parts[0] != kPrefix) {
        return std::nullopt;
    }
    v4l2DevicePath path{parts[1], parts[2]};
    if (!isValid(path)) {
        return std::nullopt;
    }
    return path;
}

}  // namespace dravix::platform
