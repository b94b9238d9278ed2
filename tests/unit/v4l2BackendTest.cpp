// The V4L2 backend against this machine's video nodes. Machines without video devices check the
// empty enumeration and the refusals of bind(); where the vivid test driver is loaded
// (modprobe vivid), a whole capture round trip runs on its first capture node.
#include "platform/linux/v4l2Backend.h"

#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/linux/v4l2DeviceKey.h"
#include "platform/linux/v4l2DevicePath.h"
#include "platform/linux/v4l2Node.h"

namespace dravix::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool hasVideoNodes() {
    std::error_code error;
    for (fs::directory_iterator entry("/dev", error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->path().filename().string().rfind("video", 0) == 0) {
            return true;
        }
    }
    return false;
}

void bindExpectingFailure(const std::string& path, int expectedError) {
    v4l2Backend backend;
    int error = 0;
    EXPECT_EQ(backend.bind(path, error), nullptr) << path;
    EXPECT_EQ(error, expectedError) << path;
}

TEST(v4l2Backend, findsNoDeviceWithoutVideoNodes) {
    if (hasVideoNodes()) {
        GTEST_SKIP() << "this machine has video nodes";
    }
    EXPECT_TRUE(v4l2Backend().enumerate().empty());
}

// Entries named like nodes that are no V4L2 character devices are never listed or opened.
TEST(v4l2Backend, listsNothingButV4l2Nodes) {
    char pattern[] = "/tmp/dravix-v4l2dev-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path directory = pattern;
    std::ofstream(directory / "video0") << "not a device\n";
    fs::create_symlink("/dev/null", directory / "video1");
    fs::create_directory(directory / "video2");
    EXPECT_TRUE(v4l2Backend(directory).enumerate().empty());
    EXPECT_TRUE(v4l2Backend(directory / "missing").enumerate().empty());
    fs::remove_all(directory);
}

// Whatever this machine has: every listed device can be told apart by the library and bound.
TEST(v4l2Backend, listedDevicesHaveDistinctKeysAndBind) {
    v4l2Backend backend;
    std::set<std::string> keys;
    for (const videoDeviceInfo& device : backend.enumerate()) {
        const auto path = v4l2DevicePath::parse(device.devicePath);
        ASSERT_TRUE(path.has_value()) << device.devicePath;
        EXPECT_LE(path->key.size(), v4l2DeviceKey::kMaxLength);
        EXPECT_TRUE(keys.insert(path->key).second) << device.devicePath;
        int error = 1;
        EXPECT_NE(backend.bind(device.devicePath, error), nullptr) << device.devicePath;
        EXPECT_EQ(error, 0);
    }
}

TEST(v4l2Backend, bindRefusesPathsOfOtherBackends) {
    bindExpectingFailure("", -EINVAL);
    bindExpectingFailure("/dev/video0", -EINVAL);
    bindExpectingFailure("emu#camera#emu0001#1", -EINVAL);
    bindExpectingFailure("v4l2#/dev/video0", -EINVAL);
}

TEST(v4l2Backend, bindReportsAMissingNode) {
    bindExpectingFailure("v4l2#/dev/video-dravix-missing#3-1", -ENOENT);
}

// Other nodes must never receive V4L2 requests, whatever the path says.
TEST(v4l2Backend, bindRefusesNodesThatAreNotV4l2Nodes) {
    bindExpectingFailure("v4l2#/dev/null#3-1", -ENODEV);
    bindExpectingFailure("v4l2#/tmp#3-1", -ENODEV);
}

// Node numbers are reused after an unplug: a path whose key is not the node's device is refused.
TEST(v4l2Backend, bindRefusesANodeThatNowBelongsToAnotherDevice) {
    const std::vector<videoDeviceInfo> devices = v4l2Backend().enumerate();
    if (devices.empty()) {
        GTEST_SKIP() << "no V4L2 capture device";
    }
    const auto path = v4l2DevicePath::parse(devices.front().devicePath);
    ASSERT_TRUE(path.has_value());
    bindExpectingFailure(v4l2DevicePath{path->node, "other-device"}.text(), -ENODEV);
}

// Counts frames and checks that none arrives once the stream is stopped.
class countingSink final : public frameSink {
  public:
    void onFrame(const uint8_t* data, std::size_t length) override {
        std::lock_guard<std::mutex> lock(mutex_);
        EXPECT_NE(data, nullptr);
        EXPECT_FALSE(stopped_) << "frame after stop()";
        lengths_.push_back(length);
        arrived_.notify_all();
    }
    bool waitForFrames(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_for(lock, 10s, [&] { return lengths_.size() >= count; });
    }
    void markStopped() {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
    }
    std::vector<std::size_t> lengths() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lengths_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::size_t> lengths_;
    bool stopped_ = false;
};

class v4l2VividCaptureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const videoDeviceInfo& device : backend_.enumerate()) {
            if (isVivid(device.devicePath)) {
                path_ = device.devicePath;
                break;
            }
        }
        if (path_.empty()) {
            GTEST_SKIP() << "no vivid capture node (modprobe vivid)";
        }
    }

    static bool isVivid(const std::string& devicePath) {
        const auto path = v4l2DevicePath::parse(devicePath);
        int error = 0;
        const auto node = path ? v4l2Node::open(path->node, error) : nullptr;
        v4l2_capability capability{};
        return node && node->control(VIDIOC_QUERYCAP, &capability) == 0 &&
               std::strcmp(reinterpret_cast<const char*>(capability.driver), "vivid") == 0;
    }

    std::unique_ptr<videoCapture> bound() {
        int error = 1;
        std::unique_ptr<videoCapture> capture = backend_.bind(path_, error);
        EXPECT_EQ(error, 0);
        return capture;
    }

    v4l2Backend backend_;
    std::string path_;
};

TEST_F(v4l2VividCaptureTest, deliversWholeYuyvFramesUntilStopped) {
    const std::unique_ptr<videoCapture> capture = bound();
    ASSERT_NE(capture, nullptr);
    ASSERT_EQ(capture->requestYuy2(), 0);
    ASSERT_EQ(capture->connect(), 0);
    uint16_t width = 0;
    uint16_t height = 0;
    ASSERT_EQ(capture->connectedFormat(width, height), 0);
    ASSERT_GT(width, 0);
    ASSERT_GT(height, 0);

    countingSink sink;
    ASSERT_EQ(capture->run(sink), 0);
    EXPECT_EQ(capture->run(sink), -EBUSY);
    EXPECT_TRUE(sink.waitForFrames(3));
    EXPECT_EQ(capture->stop(), 0);
    sink.markStopped();
    EXPECT_EQ(capture->stop(), 0);
    for (std::size_t length : sink.lengths()) {
        EXPECT_EQ(length, std::size_t{width} * height * 2);
    }
}

// stop() frees the buffers; the same capture can connect and stream again.
TEST_F(v4l2VividCaptureTest, streamsAgainAfterStop) {
    const std::unique_ptr<videoCapture> capture = bound();
    ASSERT_NE(capture, nullptr);
    ASSERT_EQ(capture->requestYuy2(), 0);
    countingSink unconnected;
    EXPECT_EQ(capture->run(unconnected), -EINVAL);
    for (int round = 0; round < 2; ++round) {
        countingSink sink;
        ASSERT_EQ(capture->connect(), 0);
        ASSERT_EQ(capture->run(sink), 0);
        EXPECT_TRUE(sink.waitForFrames(1));
        EXPECT_EQ(capture->stop(), 0);
    }
}

// A second user of a streaming device can neither change its format nor take its buffers.
TEST_F(v4l2VividCaptureTest, aSecondUserOfAStreamingDeviceIsBusy) {
    const std::unique_ptr<videoCapture> first = bound();
    const std::unique_ptr<videoCapture> second = bound();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(first->requestYuy2(), 0);
    ASSERT_EQ(first->connect(), 0);
    countingSink sink;
    ASSERT_EQ(first->run(sink), 0);
    EXPECT_EQ(second->requestYuy2(), -EBUSY);
    EXPECT_EQ(second->connect(), -EBUSY);
    EXPECT_EQ(first->stop(), 0);
    EXPECT_EQ(second->connect(), 0);
}

// The destructor stops a running stream and joins its thread.
TEST_F(v4l2VividCaptureTest, destroyingARunningCaptureStopsIt) {
    countingSink sink;
    {
        const std::unique_ptr<videoCapture> capture = bound();
        ASSERT_NE(capture, nullptr);
        ASSERT_EQ(capture->requestYuy2(), 0);
        ASSERT_EQ(capture->connect(), 0);
        ASSERT_EQ(capture->run(sink), 0);
        EXPECT_TRUE(sink.waitForFrames(1));
    }
    sink.markStopped();
}

}  // namespace
}  // namespace dravix::platform
