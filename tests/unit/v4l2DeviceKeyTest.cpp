// The device keys of V4L2 nodes, built from a sysfs tree laid out as the kernel lays out USB
// cameras (the node below a USB interface below the USB device) and other capture devices.
#include "platform/linux/v4l2DeviceKey.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/linux/hidapiBackend.h"
#include "platform/linux/usbDeviceKey.h"

namespace dravix::platform {
namespace {

namespace fs = std::filesystem;

class v4l2DeviceKeyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dravix-v4l2key-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override { fs::remove_all(root_); }

    static void write(const fs::path& file, const std::string& value) {
        std::ofstream(file) << value << "\n";
    }

    // A USB device directory at `portPath` below a hub, with its bus and device numbers.
    fs::path usbDevice(const std::string& portPath, const std::string& bus,
                       const std::string& device) {
        const fs::path directory = root_ / "devices" / ("usb" + bus) / portPath;
        fs::create_directories(directory);
        write(directory / "busnum", bus);
        write(directory / "devnum", device);
        return directory;
    }

    // The class device of node `name` with V4L2 index `index`, hanging from `parent`.
    fs::path node(const fs::path& parent, const std::string& name, const std::string& index) {
        const fs::path classDevice = parent / "video4linux" / name;
        fs::create_directories(classDevice);
        fs::create_directory_symlink(parent, classDevice / "device");
        write(classDevice / "index", index);
        return classDevice;
    }

    // The class device of a UVC node: below interface 0 of the USB device.
    fs::path uvcNode(const fs::path& usbDevice, const std::string& name, const std::string& index) {
        const fs::path interface = usbDevice / (usbDevice.filename().string() + ":1.0");
        fs::create_directories(interface);
        return node(interface, name, index);
    }

    // The hidraw node `name` of HID interface `interfaceNumber` of `usbDevice`, laid out as the
    // kernel does (node below the HID device below the USB interface), with its class link in
    // root_/class/hidraw.
    fs::path hidrawNode(const fs::path& usbDevice, const std::string& interfaceNumber,
                        const std::string& name) {
        const fs::path hidDevice = usbDevice /
                                   (usbDevice.filename().string() + ":1." + interfaceNumber) /
                                   ("0003:20F1:0107.000" + interfaceNumber);
        const fs::path classDevice = hidDevice / "hidraw" / name;
        fs::create_directories(classDevice);
        fs::create_directory_symlink(hidDevice, classDevice / "device");
        fs::create_directories(root_ / "class" / "hidraw");
        fs::create_directory_symlink(classDevice, root_ / "class" / "hidraw" / name);
        return classDevice;
    }

    fs::path root_;
};

TEST_F(v4l2DeviceKeyTest, namesTheUsbPortOfACamera) {
    const fs::path camera = usbDevice("3-1/3-1.4", "3", "17");
    EXPECT_EQ(v4l2DeviceKey::of(uvcNode(camera, "video0", "0")), "3-1.4");
}

TEST_F(v4l2DeviceKeyTest, tellsApartTheCaptureNodesOfOneCamera) {
    const fs::path camera = usbDevice("3-1/3-1.4", "3", "17");
    const std::string first = v4l2DeviceKey::of(uvcNode(camera, "video0", "0"));
    const std::string second = v4l2DeviceKey::of(uvcNode(camera, "video2", "2"));
    EXPECT_EQ(second, "3-1.4@2");
    EXPECT_NE(first, second);
}

// Port paths of deep hub chains exceed the length the library compares; the bus and device
// numbers are unique while the camera stays plugged in.
TEST_F(v4l2DeviceKeyTest, staysWithinSixteenCharactersBehindDeepHubs) {
    const fs::path fits = usbDevice("11-1.2.3.4.5.16", "11", "9");
    const fs::path tooLong = usbDevice("11-1.2.3.4.5.16/11-1.2.3.4.5.16.7", "11", "10");
    EXPECT_EQ(v4l2DeviceKey::of(uvcNode(fits, "video0", "0")), "11-1.2.3.4.5.16");
    EXPECT_EQ(v4l2DeviceKey::of(uvcNode(fits, "video2", "2")), "b11d9@2");
    EXPECT_EQ(v4l2DeviceKey::of(uvcNode(tooLong, "video4", "0")), "b11d10");
}

TEST_F(v4l2DeviceKeyTest, namesTheNodeOfADeviceOutsideUsb) {
    const fs::path platformDevice = root_ / "devices" / "platform" / "vivid.0";
    fs::create_directories(platformDevice);
    EXPECT_EQ(v4l2DeviceKey::of(node(platformDevice, "video5", "0")), "video5");
    EXPECT_EQ(v4l2DeviceKey::of(node(platformDevice, "video6", "1")), "video6");
}

TEST_F(v4l2DeviceKeyTest, fallsBackToTheNodeNameWhereSysfsSaysLittle) {
    const fs::path bare = root_ / "class" / "video4linux" / "video7";
    fs::create_directories(bare);
    EXPECT_EQ(v4l2DeviceKey::of(bare), "video7");
    EXPECT_EQ(v4l2DeviceKey::of(fs::path()), "");

    // Bus and device numbers that cannot be read leave nothing unique but the node.
    const fs::path unreadable = root_ / "devices" / "usb2" / "2-1.1.1.1.1.1.1.1";
    fs::create_directories(unreadable);
    write(unreadable / "busnum", "two");
    write(unreadable / "devnum", "3");
    EXPECT_EQ(v4l2DeviceKey::of(uvcNode(unreadable, "video8", "0")), "video8");
}

// The hidraw node of a camera finds the key of the camera's video node, and the hidraw node of
// another camera another key: that pairs each camera's HID interface with its video device.
TEST_F(v4l2DeviceKeyTest, hidrawNodesCarryTheKeyOfTheirCamerasVideoNode) {
    const fs::path cameraA = usbDevice("3-1/3-1.4", "3", "17");
    const fs::path cameraB = usbDevice("11-1.2.3.4.5.16/11-1.2.3.4.5.16.7", "11", "10");
    const fs::path other = root_ / "devices" / "virtual" / "misc" / "uhid";
    fs::create_directories(other / "hidraw" / "hidraw9");
    fs::create_directory_symlink(other, other / "hidraw" / "hidraw9" / "device");
    hidrawNode(cameraA, "2", "hidraw3");
    hidrawNode(cameraB, "2", "hidraw5");
    const hidapiBackend hid(root_ / "class" / "hidraw");

    EXPECT_EQ(hid.deviceKeyOf("/dev/hidraw3"), v4l2DeviceKey::of(uvcNode(cameraA, "video0", "0")));
    EXPECT_EQ(hid.deviceKeyOf("/dev/hidraw5"), v4l2DeviceKey::of(uvcNode(cameraB, "video4", "0")));
    EXPECT_EQ(hid.deviceKeyOf("/dev/hidraw5"), "b11d10");
    // Nodes outside USB and nodes sysfs does not know belong to no camera.
    EXPECT_EQ(usbDeviceKey::ofClassDevice(other / "hidraw" / "hidraw9"), "");
    EXPECT_EQ(hid.deviceKeyOf("/dev/hidraw7"), "");
    EXPECT_EQ(hid.deviceKeyOf(""), "");
}

// Keys of all nodes present at once differ within the characters the library compares.
TEST_F(v4l2DeviceKeyTest, keysOfPresentNodesDifferWithinSixteenCharacters) {
    const fs::path cameraA = usbDevice("1-2", "1", "4");
    const fs::path cameraB = usbDevice("1-2/1-2.1.2.3.4.5.6", "1", "5");
    const fs::path cameraC = usbDevice("1-2/1-2.1.2.3.4.5.6/1-2.1.2.3.4.5.6.7", "1", "6");
    const fs::path platformDevice = root_ / "devices" / "platform" / "capture.0";
    fs::create_directories(platformDevice);
    const fs::path nodes[] = {
        uvcNode(cameraA, "video0", "0"),      uvcNode(cameraA, "video2", "2"),
        uvcNode(cameraB, "video4", "0"),      uvcNode(cameraB, "video6", "2"),
        uvcNode(cameraC, "video8", "0"),      uvcNode(cameraC, "video10", "2"),
        node(platformDevice, "video12", "0"), node(platformDevice, "video13", "1"),
    };
    std::set<std::string> prefixes;
    for (const fs::path& classDevice : nodes) {
        const std::string key = v4l2DeviceKey::of(classDevice);
        EXPECT_FALSE(key.empty());
        EXPECT_LE(key.size(), v4l2DeviceKey::kMaxLength) << key;
        EXPECT_EQ(key.find('#'), std::string::npos) << key;
        EXPECT_TRUE(prefixes.insert(key.substr(0, v4l2DeviceKey::kMaxLength)).second) << key;
    }
}

}  // namespace
}  // namespace dravix::platform
