#include "emu/emulatedCamera.h"

#include "emu/emulatedCameraSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace dravix::emu {
namespace {

using namespace std::chrono_literals;
using bytes = std::vector<uint8_t>;

constexpr uint8_t kI2cRead = 0xE0;
constexpr uint8_t kI2cWrite = 0xE1;
constexpr uint8_t kEndTransfer = 0xE2;

// I2C request payload: address, register length, data length (big-endian), register bytes.
bytes i2cRequest(uint8_t address, const bytes& reg, std::size_t length, const bytes& data = {}) {
    bytes request(4 + reg.size() + data.size());
    request[0] = address;
    request[1] = static_cast<uint8_t>(reg.size());
    request[2] = static_cast<uint8_t>(length >> 8);
    request[3] = static_cast<uint8_t>(length);
    std::copy(reg.begin(), reg.end(), request.begin() + 4);
    std::copy(data.begin(), data.end(),
              request.begin() + 4 + static_cast<std::ptrdiff_t>(reg.size()));
    return request;
}

bytes counting(std::size_t length, uint8_t first = 1) {
    bytes data(length);
    for (std::size_t i = 0; i < length; ++i) {
        data[i] = static_cast<uint8_t>(first + i);
    }
    return data;
}

// One emulated camera in the process-wide set, opened through the HID backend with raw
// reports, and answering without latency unless a test sets one.
class emulatedCameraTest : public ::testing::Test {
  protected:
    using report = std::array<uint8_t, 64>;

    void SetUp() override {
        cameras().configure(1);
        camera = cameras().camera(1);
        camera->setReplyLatency(0us);
        device = open(1);
        ASSERT_NE(device, nullptr);
    }

    void TearDown() override { cameras().configure(0); }

    static emulatedCameraSet& cameras() { return emulatedCameraSet::instance(); }

    static std::unique_ptr<platform::hidDevice> open(int number) {
        return cameras().hidBackend().open("emulated:hid:" + std::to_string(number));
    }

    int send(uint8_t commandId, const bytes& payload = {}, int timeoutMs = 1000) {
        report command{1, commandId};
        std::copy(payload.begin(), payload.end(), command.begin() + 2);
        return device->writeReport(command.data(), command.size(), timeoutMs);
    }

    // The next input report; fails the test when none arrives within a second.
    report next() {
        report input{};
        EXPECT_EQ(device->readReport(input.data(), input.size(), 1000), 64);
        return input;
    }

    bool nothingArrives() {
        report input{};
        return device->readReport(input.data(), input.size(), 20) == 0;
    }

    // Sends a command and returns its reply, which must answer it.
    report transact(uint8_t commandId, const bytes& payload = {}) {
        EXPECT_EQ(send(commandId, payload), 64);
        report reply = next();
        EXPECT_EQ(reply[0], 1);
        EXPECT_EQ(reply[1], commandId);
        return reply;
    }

    std::vector<uint8_t> getFeature(int* result = nullptr) {
        std::vector<uint8_t> feature(1024);
        feature[0] = 1;
        int got = device->getFeatureReport(feature.data(), feature.size());
        if (result != nullptr) {
            *result = got;
        }
        return feature;
    }

    int setFeature(const bytes& data, uint8_t reportId = 1) {
        bytes feature(1024);
        feature[0] = reportId;
        std::copy(data.begin(), data.end(), feature.begin() + 1);
        return device->sendFeatureReport(feature.data(), feature.size());
    }

    std::shared_ptr<emulatedCamera> camera;
    std::unique_ptr<platform::hidDevice> device;
};

TEST_F(emulatedCameraTest, enumeratesTwoCollectionsPerPluggedCamera) {
    device.reset();
    cameras().configure(2);
    auto& backend = cameras().hidBackend();
    auto found = backend.enumerate(0x20F1, 0x0107);
    ASSERT_EQ(found.size(), 4u);
    for (std::size_t i = 0; i < found.size(); ++i) {
        bool vendorCollection = i % 2 == 0;
        EXPECT_EQ(found[i].path, "emulated:hid:" + std::to_string(i / 2 + 1));
        EXPECT_EQ(found[i].vendorId, 0x20F1);
        EXPECT_EQ(found[i].productId, 0x0107);
        EXPECT_EQ(found[i].usagePage, vendorCollection ? 0xFF00 : 0x0001);
        EXPECT_EQ(found[i].usage, vendorCollection ? 0x0001 : 0x0000);
    }
    EXPECT_TRUE(backend.enumerate(0x20F1, 0x0108).empty());
    EXPECT_EQ(backend.open("emulated:hid:3"), nullptr);
    EXPECT_EQ(backend.open("/dev/hidraw0"), nullptr);

    cameras().camera(1)->unplug();
    found = backend.enumerate(0x20F1, 0x0107);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].path, "emulated:hid:2");
    EXPECT_EQ(open(1), nullptr);

    cameras().camera(1)->replug();
    EXPECT_EQ(backend.enumerate(0x20F1, 0x0107).size(), 4u);
    EXPECT_NE(open(1), nullptr);
}

TEST_F(emulatedCameraTest, answersEveryCommandOnceThroughItsHandler) {
    EXPECT_EQ(transact(0x10)[2], 4);  // no handler: NOT IMPLEMENTED
    EXPECT_TRUE(nothingArrives());

    bytes seen;
    camera->setCommandHandler(0x10, [&](const commandPayload& payload) {
        seen.assign(payload.begin(), payload.end());
        commandReply reply;
        reply.payload[0] = static_cast<uint8_t>(payload[0] + 1);
        reply.payload[60] = 0x5A;
        return reply;
    });
    report reply = transact(0x10, {7, 8, 9});
    EXPECT_EQ(reply[2], 0);
    EXPECT_EQ(reply[3], 8);
    EXPECT_EQ(reply[63], 0x5A);
    ASSERT_EQ(seen.size(), 62u);
    EXPECT_EQ(bytes(seen.begin(), seen.begin() + 4), (bytes{7, 8, 9, 0}));
    EXPECT_TRUE(nothingArrives());

    camera->setCommandHandler(0x10, nullptr);
    EXPECT_EQ(transact(0x10)[2], 4);
}

TEST_F(emulatedCameraTest, deliversRepliesAfterTheirLatency) {
    camera->setReplyLatency(20ms);
    ASSERT_EQ(send(0x11), 64);
    camera->injectInterrupt(1, {});
    EXPECT_EQ(next()[0], 2);  // the interrupt has no latency and overtakes the reply
    EXPECT_EQ(next()[1], 0x11);

    camera->queueLateReply(60ms);
    ASSERT_EQ(send(0x12), 64);
    ASSERT_EQ(send(0x13), 64);
    EXPECT_EQ(next()[1], 0x13);
    EXPECT_EQ(next()[1], 0x12);
}

TEST_F(emulatedCameraTest, deliversInjectedInterrupts) {
    std::array<uint8_t, 60> data{};
    data[0] = 3;
    data[59] = 0xEE;
    camera->injectInterrupt(1, data);
    report interrupt = next();
    EXPECT_EQ(interrupt[0], 2);
    EXPECT_EQ(interrupt[1], 1);
    EXPECT_EQ(interrupt[2], 3);
    EXPECT_EQ(interrupt[61], 0xEE);
    EXPECT_EQ(interrupt[62], 0);
    EXPECT_EQ(interrupt[63], 0);
}

// The camera's own events go out only while its switches allow: none with the controller's
// interrupt handling off, and the head's only with head interrupts on and the head powered.
TEST_F(emulatedCameraTest, interruptSwitchesGateTheCamerasOwnEvents) {
    struct gateCase {
        uint8_t controller, headInterrupts, headPower;
        uint8_t source;
        bool sent;
    };
    const gateCase cases[] = {
        {1, 1, 1, emulatedInterrupts::kFpga, true},
        {1, 1, 1, emulatedInterrupts::kHead, true},
        {1, 1, 1, emulatedInterrupts::kRecorder, true},
        {0, 1, 1, emulatedInterrupts::kController, false},
        {0, 1, 1, emulatedInterrupts::kHead, false},
        {1, 0, 1, emulatedInterrupts::kHead, false},
        {1, 0, 1, emulatedInterrupts::kController, true},
        {1, 1, 0, emulatedInterrupts::kHead, false},
        {1, 1, 0, emulatedInterrupts::kFpga, true},
    };
    for (const gateCase& c : cases) {
        transact(0xD0, {0x81, c.controller});
        transact(0xD0, {0x83, c.headInterrupts});
        transact(0xD0, {0x80, c.headPower});
        const uint32_t mask = 0x80010021;  // named and unnamed bits alike
        EXPECT_EQ(camera->interrupts().raise(c.source, mask), c.sent) << int(c.source);
        if (!c.sent) {
            EXPECT_TRUE(nothingArrives());
            continue;
        }
        const report interrupt = next();
        EXPECT_EQ(bytes(interrupt.begin(), interrupt.begin() + 7),
                  (bytes{2, 1, c.source, 0x80, 0x01, 0x00, 0x21}));
        EXPECT_TRUE(
            std::all_of(interrupt.begin() + 7, interrupt.end(), [](uint8_t b) { return b == 0; }));
    }
    camera->injectInterrupt(1, emulatedInterrupts::statusData(1, 4));  // a test's own: not gated
    EXPECT_EQ(next()[2], 1);
}

// The camera's own events: the head's start when it is powered on and the camera's start after a
// reboot arrive before the reply that caused them; a key press reports its keys.
TEST_F(emulatedCameraTest, raisesItsOwnEventsAheadOfTheReplyThatCausedThem) {
    using event = std::pair<uint8_t, uint8_t>;  // source, low mask byte
    const auto nextEvent = [this] {
        const report input = next();
        EXPECT_EQ(input[0], 2);
        return event{input[2], input[6]};
    };
    transact(0xD0, {0x80, 0});
    EXPECT_TRUE(nothingArrives());  // powering off announces nothing
    ASSERT_EQ(send(0xD0, {0x80, 1}), 64);
    EXPECT_EQ(nextEvent(), (event{1, 0x01}));
    EXPECT_EQ(nextEvent(), (event{2, 0x02}));
    EXPECT_EQ(next()[1], 0xD0);
    transact(0xD0, {0x80, 1});
    EXPECT_TRUE(nothingArrives());  // already on

    transact(0xD0, {0x82});  // the start announcement is off by default
    EXPECT_TRUE(nothingArrives());
    camera->setStartAnnouncement(true);
    ASSERT_EQ(send(0xD0, {0x82}), 64);
    EXPECT_EQ(nextEvent(), (event{2, 0x01}));
    EXPECT_EQ(next()[1], 0xD0);

    camera->pressHeadKeys(0x15, 0x02);
    EXPECT_EQ(nextEvent(), (event{1, 0x04}));
    EXPECT_EQ(transact(0xD0, {0x20})[4], 0x15);
    transact(0xD0, {0x83, 0});
    camera->pressHeadKeys(0x16, 0x02);
    EXPECT_TRUE(nothingArrives());
}

TEST_F(emulatedCameraTest, appliesOneShotFaultsInTheOrderQueued) {
    camera->queueNoReply();
    camera->queueWrongEcho(0x77);
    camera->queueReplyStatus(21);
    camera->queueReplyReportId(3);

    ASSERT_EQ(send(0x20), 64);
    EXPECT_TRUE(nothingArrives());
    ASSERT_EQ(send(0x21), 64);
    EXPECT_EQ(next()[1], 0x77);
    EXPECT_EQ(transact(0x22)[2], 21);
    ASSERT_EQ(send(0x23), 64);
    report wrongId = next();
    EXPECT_EQ(wrongId[0], 3);
    EXPECT_EQ(wrongId[1], 0x23);
    EXPECT_EQ(transact(0x24)[2], 4);  // faults used up

    camera->queueNoReply();
    camera->clearFaults();
    EXPECT_EQ(transact(0x25)[2], 4);
}

TEST_F(emulatedCameraTest, concurrentCommandsAndInterruptsEachArriveOnce) {
    camera->setReplyLatency(100us);
    constexpr int kPerThread = 100;
    std::array<int, 256> replies{};
    int interrupts = 0;
    std::thread reader([&] {
        for (int received = 0; received < 3 * kPerThread; ++received) {
            report input = next();
            if (input[0] == 2) {
                ++interrupts;
            } else {
                ++replies[input[1]];
            }
        }
    });
    auto sender = [&](uint8_t firstId) {
        for (int i = 0; i < kPerThread; ++i) {
            EXPECT_EQ(send(static_cast<uint8_t>(firstId + i)), 64);
        }
    };
    std::thread first(sender, 0);
    std::thread second(sender, 128);
    for (int i = 0; i < kPerThread; ++i) {
        camera->injectInterrupt(1, {});
    }
    first.join();
    second.join();
    reader.join();
    EXPECT_EQ(interrupts, kPerThread);
    for (int id = 0; id < 256; ++id) {
        EXPECT_EQ(replies[id], id % 128 < kPerThread ? 1 : 0) << id;
    }
}

TEST_F(emulatedCameraTest, stalledWriteTimesOutWithoutReachingTheCamera) {
    camera->startRecording();
    camera->setStalledWrites(true);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(send(0x10, {}, 30), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
    EXPECT_TRUE(nothingArrives());
    EXPECT_TRUE(camera->recorded().empty());

    camera->setStalledWrites(false);
    EXPECT_EQ(transact(0x10)[2], 4);
}

TEST_F(emulatedCameraTest, unplugEndsBlockedCallsAndOldHandles) {
    camera->setStalledWrites(true);
    int readResult = 1;
    int writeResult = 1;
    std::thread reader([&] {
        report input{};
        readResult = device->readReport(input.data(), input.size(), 10000);
    });
    std::thread writer([&] { writeResult = send(0x10, {}, 10000); });
    // Unplug may come before either call starts waiting; both must end at once either way.
    camera->unplug();
    reader.join();
    writer.join();
    EXPECT_EQ(readResult, -ENODEV);
    EXPECT_EQ(writeResult, -ENODEV);
    EXPECT_EQ(setFeature({}), -ENODEV);

    camera->setStalledWrites(false);
    camera->replug();
    EXPECT_EQ(send(0x10), -ENODEV);  // the old handle stays dead
    int featureResult = 0;
    getFeature(&featureResult);
    EXPECT_EQ(featureResult, -ENODEV);

    device = open(1);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(transact(0x10)[2], 4);
}

TEST_F(emulatedCameraTest, handleOfReplacedCameraFailsCleanly) {
    cameras().configure(1);
    camera.reset();  // the set no longer holds it either: the handle is its only owner
    report input{};
    EXPECT_EQ(device->readReport(input.data(), input.size(), 0), -ENODEV);
    EXPECT_EQ(send(0x10), -ENODEV);
    device = open(1);
    EXPECT_EQ(transact(0x10)[2], 4);
}

TEST_F(emulatedCameraTest, i2cTransfersThatFitTheReport) {
    auto& bus = camera->i2cBus();
    bus.preset(0x50, 0x0004, counting(12));
    // 2-byte register, 12 bytes: max(12, 6) < 56, so the data comes in the reply.
    report reply = transact(kI2cRead, i2cRequest(0x50, {0x00, 0x04}, 12));
    EXPECT_EQ(reply[2], 0);
    EXPECT_EQ(bytes(reply.begin() + 3, reply.begin() + 15), counting(12));
    EXPECT_EQ(reply[15], 0);

    // 1-byte register, 56 bytes: the largest write that fits (56 < 57).
    EXPECT_EQ(transact(kI2cWrite, i2cRequest(0x32, {0x10}, 56, counting(56, 100)))[2], 0);
    EXPECT_EQ(bus.contents(0x32, 0x10, 56), counting(56, 100));
    EXPECT_EQ(bus.contents(0x32, 0x10 + 56, 1), bytes{0});
}

TEST_F(emulatedCameraTest, i2cReadThroughTheFeatureReport) {
    camera->i2cBus().preset(0x74, 0x1234, counting(60));
    // 60 bytes do not fit the reply: status only, then one feature read.
    report reply = transact(kI2cRead, i2cRequest(0x74, {0x12, 0x34}, 60));
    EXPECT_EQ(reply[2], 0);
    EXPECT_EQ(reply[3], 0);
    int result = 0;
    bytes feature = getFeature(&result);
    EXPECT_EQ(result, 1024);
    EXPECT_EQ(feature[0], 1);
    EXPECT_EQ(bytes(feature.begin() + 1, feature.begin() + 61), counting(60));
    EXPECT_EQ(feature[61], 0);
    getFeature(&result);
    EXPECT_LT(result, 0);  // the phase served its one read
    EXPECT_EQ(transact(kEndTransfer, {0})[2], 0);
}

TEST_F(emulatedCameraTest, i2cWriteThroughTheFeatureReport) {
    // 1-byte register, 57 bytes: one too many for the report.
    EXPECT_EQ(transact(kI2cWrite, i2cRequest(0x78, {0x20}, 57))[2], 0);
    EXPECT_EQ(setFeature(counting(57), 2), -EPIPE);  // wrong report id
    EXPECT_EQ(setFeature(counting(57)), 1024);
    EXPECT_EQ(setFeature(counting(57)), -EPIPE);
    EXPECT_EQ(transact(kEndTransfer, {0})[2], 0);
    EXPECT_EQ(camera->i2cBus().contents(0x78, 0x20, 58), [] {
        bytes expected = counting(57);
        expected.push_back(0);
        return expected;
    }());

    // The largest feature write, at the end of the storage.
    EXPECT_EQ(transact(kI2cWrite, i2cRequest(0x78, {0xFC, 0x01}, 1023))[2], 0);
    EXPECT_EQ(setFeature(counting(1023)), 1024);
    EXPECT_EQ(transact(kEndTransfer, {0})[2], 0);
    EXPECT_EQ(camera->i2cBus().contents(0x78, 0xFFFF, 1), bytes{static_cast<uint8_t>(1023)});
}

TEST_F(emulatedCameraTest, i2cRefusesWhatTheDeviceCannotHold) {
    // Beyond the 64 KiB of the device: refused in the reply, or at the end of a write phase.
    EXPECT_EQ(transact(kI2cRead, i2cRequest(0x50, {0xFF, 0xFF}, 2))[2], 21);
    EXPECT_EQ(transact(kI2cRead, i2cRequest(0x50, {0x01, 0x00, 0x00, 0x00, 0x00}, 2))[2], 21);
    EXPECT_EQ(transact(kI2cWrite, i2cRequest(0x50, {0xFF, 0xFF}, 100))[2], 0);
    EXPECT_EQ(setFeature(counting(100)), 1024);
    EXPECT_EQ(transact(kEndTransfer, {0})[2], 21);
    // More than a feature report holds, or a register address longer than the payload.
    EXPECT_EQ(transact(kI2cRead, i2cRequest(0x50, {0x00}, 1024))[2], 2);
    EXPECT_EQ(transact(kI2cWrite, i2cRequest(0x50, {0x00}, 1024))[2], 2);
    EXPECT_EQ(transact(kI2cRead, {0x50, 59, 0, 1})[2], 2);
}

TEST_F(emulatedCameraTest, featureReportsOnlyInsideTheirPhase) {
    int result = 0;
    getFeature(&result);
    EXPECT_EQ(result, -EPIPE);
    EXPECT_EQ(setFeature({1}), -EPIPE);

    camera->setFailingFeatures(true);
    ASSERT_EQ(transact(kI2cRead, i2cRequest(0x50, {0x00}, 100))[2], 0);
    getFeature(&result);
    EXPECT_EQ(result, -EIO);
    camera->setFailingFeatures(false);
    getFeature(&result);  // a failed transfer leaves the phase open
    EXPECT_EQ(result, 1024);

    camera->setFailingFeatures(true);
    ASSERT_EQ(transact(kI2cWrite, i2cRequest(0x50, {0x00}, 100))[2], 0);
    EXPECT_EQ(setFeature(counting(100)), -EIO);
    EXPECT_EQ(transact(kEndTransfer, {0})[2], 0);
    camera->setFailingFeatures(false);
    EXPECT_EQ(setFeature(counting(100)), -EPIPE);  // the end command closed the phase
}

TEST_F(emulatedCameraTest, recordsTheWireInOrder) {
    camera->i2cBus().preset(0x50, 0, counting(100));
    ASSERT_EQ(send(0x10), 64);  // before recording starts
    next();
    camera->startRecording();
    bytes request = i2cRequest(0x50, {0x00}, 100);
    transact(kI2cRead, request);
    getFeature();
    transact(kEndTransfer, {0});
    camera->injectInterrupt(1, {});
    next();

    auto records = camera->recorded();
    std::vector<wireKind> kinds;
    for (const auto& record : records) {
        kinds.push_back(record.kind);
    }
    EXPECT_EQ(kinds, (std::vector<wireKind>{wireKind::output, wireKind::input, wireKind::featureGet,
                                            wireKind::output, wireKind::input, wireKind::input}));
    ASSERT_EQ(records[0].bytes.size(), 64u);
    EXPECT_EQ(bytes(records[0].bytes.begin() + 2, records[0].bytes.begin() + 7), request);
    EXPECT_EQ(records[2].bytes.size(), 1024u);
    EXPECT_EQ(records[2].bytes[100], 100);
    EXPECT_EQ(records[5].bytes[0], 2);

    camera->stopRecording();
    transact(0x10);
    EXPECT_EQ(camera->recorded().size(), records.size());
    camera->clearRecording();
    EXPECT_TRUE(camera->recorded().empty());
}

class registerEchoDevice : public emulatedI2cDevice {
  public:
    bool read(uint32_t reg, uint8_t* data, std::size_t length) override {
        std::fill_n(data, length, static_cast<uint8_t>(reg));
        return true;
    }
    bool write(uint32_t reg, const uint8_t*, std::size_t) override {
        written.push_back(reg);
        return reg != 0x99;
    }
    std::vector<uint32_t> written;
};

TEST_F(emulatedCameraTest, i2cDeviceModelAnswersInPlaceOfStorage) {
    auto model = std::make_shared<registerEchoDevice>();
    camera->i2cBus().attach(0x50, model);
    EXPECT_EQ(transact(kI2cRead, i2cRequest(0x50, {0x42}, 2))[3], 0x42);
    EXPECT_EQ(transact(kI2cWrite, i2cRequest(0x50, {0x99}, 1, {7}))[2], 21);
    EXPECT_EQ(model->written, std::vector<uint32_t>{0x99});

    camera->i2cBus().attach(0x50, nullptr);
    EXPECT_EQ(transact(kI2cRead, i2cRequest(0x50, {0x42}, 2))[3], 0);
}

TEST(emulatedCameraSet, countsCamerasFromTheEnvironmentValue) {
    EXPECT_EQ(emulatedCameraSet::countFromEnvironment(nullptr), 0);
    EXPECT_EQ(emulatedCameraSet::countFromEnvironment("1"), 1);
    EXPECT_EQ(emulatedCameraSet::countFromEnvironment("10"), 10);
    for (const char* invalid : {"", "0", "11", "-1", " 2", "2x", "3.0", "007"}) {
        EXPECT_EQ(emulatedCameraSet::countFromEnvironment(invalid), 0) << invalid;
    }
}

TEST(emulatedCameraSet, numbersFreshCamerasFromOne) {
    emulatedCameraSet set(3);
    EXPECT_EQ(set.count(), 3);
    EXPECT_EQ(set.camera(3)->number(), 3);
    EXPECT_EQ(set.camera(0), nullptr);
    EXPECT_EQ(set.camera(4), nullptr);
    auto first = set.camera(1);
    set.configure(2);
    EXPECT_NE(set.camera(1), first);
    EXPECT_FALSE(first->isPlugged());
    EXPECT_THROW(set.configure(11), std::invalid_argument);
}

}  // namespace
}  // namespace dravix::emu
