#include "platform/linux/hidapiBackend.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <hidapi.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/hidrawDevice.h"

namespace dravix::platform {
namespace {

constexpr uint16_t kCameraVendorId = 0x20F1;
constexpr uint16_t kCameraProductId = 0x0107;

bool hasHidrawNodes() {
    std::error_code error;
    return std::filesystem::exists("/sys/class/hidraw", error) &&
           !std::filesystem::is_empty("/sys/class/hidraw", error);
}

TEST(hidapiBackend, listsOnlyCollectionsOfTheRequestedDevice) {
    hidapiBackend backend;
    for (const hidInterfaceInfo& info : backend.enumerate(kCameraVendorId, kCameraProductId)) {
        EXPECT_FALSE(info.path.empty());
        EXPECT_EQ(info.vendorId, kCameraVendorId);
        EXPECT_EQ(info.productId, kCameraProductId);
    }
}

TEST(hidapiBackend, findsNoCameraWithoutHidrawNodes) {
    if (hasHidrawNodes()) {
        GTEST_SKIP() << "this machine has hidraw devices";
    }
    hidapiBackend backend;
    EXPECT_TRUE(backend.enumerate(kCameraVendorId, kCameraProductId).empty());
}

// hidapi reads ids of 0 as "any device"; the backend must not pass that on.
TEST(hidapiBackend, zeroIdsAreNoWildcard) {
    hidapiBackend backend;
    for (const hidInterfaceInfo& info : backend.enumerate(0, 0)) {
        EXPECT_EQ(info.vendorId, 0);
        EXPECT_EQ(info.productId, 0);
    }
}

// hidapi keeps the reason of an empty enumeration for the whole process until hid_exit; a
// library unloaded without releasing it leaks it.
TEST(hidapiBackend, releasingTheLibraryFreesItsStateAndAnEnumerationSetsItUpAgain) {
    hidapiBackend backend;
    const auto before = backend.enumerate(kCameraVendorId, 0xFFFE);
    EXPECT_TRUE(before.empty());
    EXPECT_NE(std::wstring(hid_error(nullptr)), L"Success") << "hidapi kept no state";
    hidapiBackend::releaseLibrary();
    EXPECT_EQ(std::wstring(hid_error(nullptr)), L"Success");
    hidapiBackend::releaseLibrary();  // twice is harmless
    EXPECT_EQ(backend.enumerate(kCameraVendorId, 0xFFFE).size(), before.size());
    hidapiBackend::releaseLibrary();
}

TEST(hidapiBackend, opensNothingAtAMissingPath) {
    hidapiBackend backend;
    EXPECT_EQ(backend.open("/dev/hidraw-that-does-not-exist"), nullptr);
    EXPECT_EQ(backend.open(""), nullptr);
}

// Nodes that open fine but are not hidraw nodes are refused too: reads, writes and the feature
// ioctls mean something else on them.
TEST(hidapiBackend, opensNothingThatIsNotAHidrawNode) {
    hidapiBackend backend;
    EXPECT_EQ(backend.open("/dev/null"), nullptr);

    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "dravix-hidapiBackendTest-plain-file";
    std::FILE* stream = std::fopen(file.c_str(), "w");
    ASSERT_NE(stream, nullptr);
    std::fclose(stream);
    EXPECT_EQ(backend.open(file.string()), nullptr);
    std::filesystem::remove(file);
}

// Every enumeration frees and replaces hidapi's process-wide error text; backends on several
// threads must never free that text twice.
TEST(hidapiBackend, survivesEnumerationsAndFailedOpensOnManyThreads) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            hidapiBackend backend;
            for (int round = 0; round < kRounds; ++round) {
                if ((round + t) % 4 == 0) {
                    backend.enumerate(kCameraVendorId, kCameraProductId);
                } else {
                    EXPECT_EQ(backend.open("/dev/hidraw-that-does-not-exist"), nullptr);
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

TEST(hidrawDevice, opensNothingThatIsNotAHidrawNode) {
    EXPECT_EQ(hidrawDevice::open("/dev/null"), nullptr);
    EXPECT_EQ(hidrawDevice::open("/dev/hidraw-that-does-not-exist"), nullptr);
    EXPECT_EQ(hidrawDevice::open(std::string("/dev/null\0hidraw", 16)), nullptr);
}

// A connected pair of sequenced-packet sockets stands in for a node: like hidraw it keeps the
// boundaries of every report, so the handling of poll, read and write results and of concurrent
// callers can be checked without hardware. What hidraw itself does needs a real node.
class packetNode {
  public:
    packetNode() {
        int ends[2] = {-1, -1};
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
        EXPECT_EQ(::fcntl(ends[0], F_SETFL, O_NONBLOCK), 0);
        device_ = std::make_unique<hidrawDevice>(ends[0]);
        peer_ = ends[1];
        // A lost report fails the test instead of hanging it.
        const timeval limit{5, 0};
        EXPECT_EQ(::setsockopt(peer_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit), 0);
        EXPECT_EQ(::setsockopt(peer_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit), 0);
    }
    ~packetNode() { closePeer(); }
    packetNode(const packetNode&) = delete;
    packetNode& operator=(const packetNode&) = delete;

    hidrawDevice& device() { return *device_; }
    void closeDevice() { device_.reset(); }
    void closePeer() {
        if (peer_ >= 0) {
            ::close(peer_);
            peer_ = -1;
        }
    }

    // The other end, as the device would see it: input reports go out, output reports come in.
    void sendInput(const std::vector<uint8_t>& report) {
        ASSERT_EQ(::send(peer_, report.data(), report.size(), 0),
                  static_cast<ssize_t>(report.size()));
    }
    std::vector<uint8_t> receiveOutput() {
        std::vector<uint8_t> report(256);
        const ssize_t length = ::recv(peer_, report.data(), report.size(), 0);
        report.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
        return report;
    }

  private:
    std::unique_ptr<hidrawDevice> device_;
    int peer_ = -1;
};

std::vector<uint8_t> readOne(hidrawDevice& device, int timeoutMs) {
    std::vector<uint8_t> buffer(256);
    const int length = device.readReport(buffer.data(), buffer.size(), timeoutMs);
    buffer.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return buffer;
}

TEST(hidrawDevice, readsOneWholeReportPerCall) {
    packetNode node;
    node.sendInput({0x01, 0xAA, 0xBB});
    node.sendInput({0x02, 0xCC});
    EXPECT_EQ(readOne(node.device(), 1000), (std::vector<uint8_t>{0x01, 0xAA, 0xBB}));
    EXPECT_EQ(readOne(node.device(), 1000), (std::vector<uint8_t>{0x02, 0xCC}));
}

TEST(hidrawDevice, waitsForTheTimeOutWhenNoReportArrives) {
    packetNode node;
    uint8_t buffer[64];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(node.device().readReport(buffer, sizeof buffer, 100), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
}

// The reader thread must come back to check whether it is asked to stop.
TEST(hidrawDevice, negativeTimeOutDoesNotBlock) {
    packetNode node;
    uint8_t buffer[64];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(node.device().readReport(buffer, sizeof buffer, -1), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

// A gone device must be reported as a failure, never as an endless series of time-outs, and a
// report that arrived before must not be lost.
TEST(hidrawDevice, reportsTheLossOfTheNodeAfterTheQueuedReports) {
    packetNode node;
    node.sendInput({0x03, 0x01});
    node.closePeer();
    EXPECT_EQ(readOne(node.device(), 1000), (std::vector<uint8_t>{0x03, 0x01}));
    uint8_t buffer[64];
    EXPECT_LT(node.device().readReport(buffer, sizeof buffer, 1000), 0);
    EXPECT_LT(node.device().readReport(buffer, sizeof buffer, 1000), 0);
}

TEST(hidrawDevice, refusesMissingBuffers) {
    packetNode node;
    uint8_t buffer[8] = {0x01};
    EXPECT_EQ(node.device().readReport(nullptr, 8, 0), -EINVAL);
    EXPECT_EQ(node.device().readReport(buffer, 0, 0), -EINVAL);
    EXPECT_EQ(node.device().writeReport(nullptr, 8, 0), -EINVAL);
    EXPECT_EQ(node.device().writeReport(buffer, 0, 0), -EINVAL);
    EXPECT_EQ(node.device().sendFeatureReport(nullptr, 8), -EINVAL);
    EXPECT_EQ(node.device().getFeatureReport(buffer, 0), -EINVAL);
}

TEST(hidrawDevice, writesTheWholeReport) {
    packetNode node;
    const std::vector<uint8_t> report{0x05, 0x10, 0x20, 0x30};
    EXPECT_EQ(node.device().writeReport(report.data(), report.size(), 1000), 4);
    EXPECT_EQ(node.receiveOutput(), report);
}

// A refused write is a failure, not a time-out and not a success.
TEST(hidrawDevice, reportsARefusedWriteAsFailure) {
    packetNode node;
    const std::vector<uint8_t> tooLong(std::size_t{4} << 20, 0x05);
    EXPECT_LT(node.device().writeReport(tooLong.data(), tooLong.size(), 1000), 0);
}

// The length travels in the request's 14-bit size field; a longer one would name another request.
TEST(hidrawDevice, refusesFeatureReportsLongerThanTheRequestCanCarry) {
    packetNode node;
    std::vector<uint8_t> report(std::size_t{1} << 14, 0x07);
    EXPECT_EQ(node.device().sendFeatureReport(report.data(), report.size()), -EINVAL);
    EXPECT_EQ(node.device().getFeatureReport(report.data(), report.size()), -EINVAL);
}

TEST(hidrawDevice, reportsRefusedFeatureRequestsAsFailure) {
    packetNode node;
    uint8_t report[8] = {0x07};
    EXPECT_LT(node.device().sendFeatureReport(report, sizeof report), 0);
    EXPECT_LT(node.device().getFeatureReport(report, sizeof report), 0);
}

TEST(hidrawDevice, closesTheNodeWhenDestroyed) {
    packetNode node;
    node.closeDevice();
    EXPECT_TRUE(node.receiveOutput().empty());
}

// One reader thread reads while several threads write: no report is lost, torn or reordered.
TEST(hidrawDevice, keepsEveryReportWhileWritersRunBesideTheReader) {
    constexpr int kInputs = 300;
    constexpr int kWriters = 4;
    constexpr int kOutputsPerWriter = 200;
    packetNode node;

    std::thread inputs([&] {
        for (int i = 0; i < kInputs; ++i) {
            node.sendInput({0x01, static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)});
        }
    });
    std::thread reader([&] {
        for (int i = 0; i < kInputs; ++i) {
            ASSERT_EQ(readOne(node.device(), 5000),
                      (std::vector<uint8_t>{0x01, static_cast<uint8_t>(i),
                                            static_cast<uint8_t>(i >> 8)}));
        }
    });
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&node, w] {
            for (int i = 0; i < kOutputsPerWriter; ++i) {
                const uint8_t report[] = {0x02, static_cast<uint8_t>(w), static_cast<uint8_t>(i)};
                const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                int written = 0;
                // 0: the peer's queue is full for now.
                while ((written = node.device().writeReport(report, sizeof report, 1000)) == 0 &&
                       std::chrono::steady_clock::now() < giveUp) {
                    std::this_thread::yield();
                }
                ASSERT_EQ(written, 3);
            }
        });
    }
    std::vector<int> nextFromWriter(kWriters, 0);
    for (int i = 0; i < kWriters * kOutputsPerWriter; ++i) {
        const std::vector<uint8_t> report = node.receiveOutput();
        if (report.size() != 3 || report[0] != 0x02 || report[1] >= kWriters) {
            ADD_FAILURE() << "torn or missing report " << i;
            continue;
        }
        EXPECT_EQ(report[2], static_cast<uint8_t>(nextFromWriter[report[1]]++));
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    reader.join();
    inputs.join();
}

}  // namespace
}  // namespace dravix::platform
