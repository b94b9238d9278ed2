#pragma once

#include <optional>
#include <string>

namespace dravix::platform {

// The device path of a V4L2 capture node as the library sees it: "v4l2#<node>#<key>", for
// example "v4l2#/dev/video0#3-1.4". The library identifies a camera by the third '#'-separated
// field, the device key; bind() opens the node of the second field and checks that it still
// belongs to the device of the key, because node numbers are reused once a device is gone.
struct v4l2DevicePath {
    std::string node;
    std::string key;

    // The text form; empty when a part is empty or holds a '#' or a NUL, which no reader could
    // split back into these parts, or when the node path is not absolute.
    std::string text() const;
    // The parts of a text made by text(); nothing for any other text, such as the paths of other
    // backends.
    static std::optional<v4l2DevicePath> parse(const std::string& text);
};

}  // namespace dravix::platform
