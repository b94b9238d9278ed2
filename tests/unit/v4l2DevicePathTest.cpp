// The device path of V4L2 nodes: what the library reads from it and what bind() accepts.
#include "platform/linux/v4l2DevicePath.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dravix::platform {
namespace {

// The library's reading of a device path: fields split at '#', runs of '#' acting as one.
std::string thirdField(const std::string& text) {
    std::vector<std::string> fields;
    std::string field;
    for (char c : text + '#') {
        if (c != '#') {
            field += c;
        } else if (!field.empty()) {
            fields.push_back(field);
            field.clear();
        }
    }
    return fields.size() >= 3 ? fields[2] : "";
}

TEST(v4l2DevicePath, carriesTheKeyInTheThirdFieldAndTheNodeBackToBind) {
    const v4l2DevicePath path{"/dev/video2", "3-1.4@2"};
    const std::string text = path.text();
    EXPECT_EQ(text, "v4l2#/dev/video2#3-1.4@2");
    EXPECT_EQ(thirdField(text), "3-1.4@2");

    const auto parsed = v4l2DevicePath::parse(text);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->node, "/dev/video2");
    EXPECT_EQ(parsed->key, "3-1.4@2");
}

// A part that the library or parse() would split differently yields no path at all rather
// than one that names another device.
TEST(v4l2DevicePath, buildsNoTextFromPartsThatCannotBeReadBack) {
    EXPECT_EQ((v4l2DevicePath{"/dev/video0", ""}.text()), "");
    EXPECT_EQ((v4l2DevicePath{"", "3-1"}.text()), "");
    EXPECT_EQ((v4l2DevicePath{"/dev/v#0", "3-1"}.text()), "");
    EXPECT_EQ((v4l2DevicePath{"/dev/video0", "3#1"}.text()), "");
    EXPECT_EQ((v4l2DevicePath{"video0", "3-1"}.text()), "");
    EXPECT_EQ((v4l2DevicePath{std::string("/dev/video0\0x", 13), "3-1"}.text()), "");
}

TEST(v4l2DevicePath, acceptsOnlyItsOwnForm) {
    const std::vector<std::string> others = {
        "",
        "v4l2",
        "v4l2#/dev/video0",
        "v4l2#/dev/video0#",
        "v4l2##/dev/video0#3-1",
        "v4l2#/dev/video0##3-1",
        "v4l2#/dev/video0#3-1#extra",
        "V4L2#/dev/video0#3-1",
        "emu#/dev/video0#3-1",
        "v4l2#video0#3-1",
        "\\\\?\\usb#vid_20f1&pid_0107&mi_00#6&2a3b4c5d&0&0000#{guid}\\global",
        std::string("v4l2#/dev/video0\0#3-1", 21),
    };
    for (const std::string& text : others) {
        EXPECT_FALSE(v4l2DevicePath::parse(text).has_value()) << text;
    }
}

}  // namespace
}  // namespace dravix::platform
