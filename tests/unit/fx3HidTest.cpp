// The HID command channel against the emulated camera: wire bytes, reply matching, status
// messages, time-outs, interrupts, feature data phases, closing and concurrency.
#include "device/fx3Hid.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camera/backendRegistry.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "fileLog.h"

namespace dravix {
namespace {

using namespace std::chrono_literals;
using emu::commandPayload;
using emu::commandReply;
using emu::wireKind;
using emu::wireRecord;

constexpr uint16_t kVendorId = 0x20F1;
constexpr uint16_t kProductId = 0x0107;
constexpr uint8_t kEchoCommand = 0x20;  // answered with the request's first payload bytes
constexpr uint8_t kOpenWritePhase = 0x70;
constexpr uint8_t kOpenReadPhase = 0x71;

std::vector<uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> result;
    for (int value : values) {
        result.push_back(static_cast<uint8_t>(value));
    }
    return result;
}

class fx3HidTest : public ::testing::Test {
  protected:
    void SetUp() override {
        camera_ = cameras_.camera(1);
        camera_->setReplyLatency(0us);
        camera_->setCommandHandler(kEchoCommand, [](const commandPayload& request) {
            commandReply reply;
            std::copy(request.begin(), request.begin() + 61, reply.payload.begin());
            return reply;
        });
        camera_->setCommandHandler(kOpenWritePhase, [this](const commandPayload&) {
            camera_->featurePort().acceptWrite(1, [this](const uint8_t* data, std::size_t size) {
                written_.assign(data, data + size);
                return uint8_t{0};
            });
            return commandReply{};
        });
        camera_->setCommandHandler(kOpenReadPhase, [this](const commandPayload&) {
            std::vector<uint8_t> data(1023);
            for (std::size_t i = 0; i < data.size(); ++i) {
                data[i] = static_cast<uint8_t>(i * 7 + 3);
            }
            camera_->featurePort().serveRead(1, data.data(), data.size());
            return commandReply{};
        });
    }

    void TearDown() override { hid_.reset(); }

    fx3Hid& openChannel() {
        hid_ = std::make_unique<fx3Hid>(log_, cameras_.hidBackend());
        EXPECT_TRUE(hid_->open(kVendorId, kProductId));
        return *hid_;
    }

    // The messages logged so far; ends the log session, so call it once, at the end.
    std::vector<std::string> loggedMessages() {
        hid_.reset();
        return files_.messages();
    }

    bool logged(const std::vector<std::string>& messages, const std::string& text) {
        return std::find(messages.begin(), messages.end(), text) != messages.end();
    }

    std::vector<wireRecord> recordedOf(wireKind kind) {
        std::vector<wireRecord> result;
        for (const wireRecord& record : camera_->recorded()) {
            if (record.kind == kind) {
                result.push_back(record);
            }
        }
        return result;
    }

    // Waits until the camera has seen `count` output reports (at most 5 s).
    bool waitForOutputReports(std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (recordedOf(wireKind::output).size() < count) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    test::fileLog files_{"dravix-fx3hid"};
    logger& log_ = files_.log();
    emu::emulatedCameraSet cameras_{1};
    std::shared_ptr<emu::emulatedCamera> camera_;
    std::vector<uint8_t> written_;
    std::unique_ptr<fx3Hid> hid_;
};

TEST_F(fx3HidTest, commandExchangeOnTheWire) {
    fx3Hid& hid = openChannel();
    camera_->startRecording();
    const auto request = bytes({0x05, 0x00, 0x00});
    std::array<uint8_t, 10> reply{};
    ASSERT_EQ(hid.command(kEchoCommand, request.data(), 3, reply.data(), reply.size()), 0);
    EXPECT_EQ(reply[0], 0x05);

    const auto outputs = recordedOf(wireKind::output);
    ASSERT_EQ(outputs.size(), 1u);
    std::vector<uint8_t> expected(64, 0);
    expected[0] = 1;
    expected[1] = kEchoCommand;
    expected[2] = 0x05;
    EXPECT_EQ(outputs[0].bytes, expected);
    const auto inputs = recordedOf(wireKind::input);
    ASSERT_EQ(inputs.size(), 1u);
    EXPECT_EQ(inputs[0].bytes[0], 1);
    EXPECT_EQ(inputs[0].bytes[1], kEchoCommand);
    EXPECT_EQ(inputs[0].bytes[2], 0);
    EXPECT_EQ(inputs[0].bytes[3], 0x05);
    EXPECT_EQ(hid.lastReportId(), 1);
    EXPECT_EQ(hid.lastCmdId(), kEchoCommand);
    EXPECT_EQ(hid.lastStatus(), 0);
}

TEST_F(fx3HidTest, everyReplyStatusHasItsMessage) {
    fx3Hid& hid = openChannel();
    const int statuses[] = {2, 3, 4, 9, 11, 14, 16, 20, 21, 1, 5, 22};
    for (int status : statuses) {
        camera_->queueReplyStatus(static_cast<uint8_t>(status));
        EXPECT_EQ(hid.command(kEchoCommand, nullptr, 0), 1) << status;
    }
    camera_->setCommandHandler(0x44, nullptr);
    EXPECT_EQ(hid.command(0x44, nullptr, 0), 1);  // no handler: NOT IMPLEMENTED

    const auto messages = loggedMessages();
    for (const char* text :
         {"fx3Hid::hidCheckStatus: BAD ARGUMENT (cmd: 0x20)",
          "fx3Hid::hidCheckStatus: INVALID CMD ID (cmd: 0x20)",
          "fx3Hid::hidCheckStatus: NOT IMPLEMENTED (cmd: 0x20)",
          "fx3Hid::hidCheckStatus: MISSING DATA CHUNKS (cmd: 0x20)",
          "fx3Hid::hidCheckStatus: USB RD (cmd: 0x20)",
          "fx3Hid::hidCheckStatus: Flash Write (cmd: 0x20)",
          "fx3Hid::hidCheckStatus: Hardware (cmd: 0x20)",
          "fx3Hid::hidCheckStatus: I2C Processing (cmd: 0x20)",
          "fx3Hid::hidCheckStatus: I2C Processing, not valid (cmd: 0x20)",
          "fx3Hid::hidCheckStatus: HID undocumented error (status: 1) (cmd: 0x20)",
          "fx3Hid::hidCheckStatus: HID undocumented error (status: 5) (cmd: 0x20)",
          "fx3Hid::hidCheckStatus: HID undocumented error (status: 22) (cmd: 0x20)",
          "fx3Hid::hidCheckStatus: NOT IMPLEMENTED (cmd: 0x44)"}) {
        EXPECT_TRUE(logged(messages, text)) << text;
    }
}

TEST_F(fx3HidTest, shortTimeOutsWaitAtLeast100ms) {
    fx3Hid& hid = openChannel();
    for (uint32_t requested : {0u, 50u}) {
        camera_->queueNoReply();
        auto lock = hid.transaction();
        ASSERT_EQ(hid.hidReport(kEchoCommand, nullptr, 0), 0);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(hid.hidWaitReponse(kEchoCommand, requested), 1);
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_GE(waited, 95ms) << requested;
        EXPECT_LT(waited, 900ms) << requested;
    }
    EXPECT_TRUE(logged(loggedMessages(),
                       "fx3Hid::hidWaitReponse: timeout for cmdID: 0x20, timeout: 100, events: 0"));
}

TEST_F(fx3HidTest, repliesToOtherCommandsOrWithAnotherReportIdAreSkipped) {
    fx3Hid& hid = openChannel();
    camera_->queueWrongEcho(0x21);
    EXPECT_EQ(hid.command(kEchoCommand, nullptr, 0, nullptr, 0, 100), 1);
    camera_->queueReplyReportId(3);
    EXPECT_EQ(hid.command(kEchoCommand, nullptr, 0, nullptr, 0, 100), 1);
    // The channel still works afterwards.
    EXPECT_EQ(hid.command(kEchoCommand, nullptr, 0), 0);
    // How many wrong replies woke the wait depends on when the reader took them, so the count
    // at the end of the message is left out.
    const auto messages = loggedMessages();
    const std::string timeout = "fx3Hid::hidWaitReponse: timeout for cmdID: 0x20, timeout: 100,";
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [&](const std::string& text) { return text.rfind(timeout, 0) == 0; }),
              2);
}

TEST_F(fx3HidTest, lateReplyOfAnEarlierCommandDoesNotAnswerTheNextOne) {
    fx3Hid& hid = openChannel();
    camera_->queueHeldReply();
    EXPECT_EQ(hid.command(0x21, nullptr, 0, nullptr, 0, 100), 1);
    // The camera sends the 0x21 reply only once it has received 0x20, and answers 0x20 later:
    // the late reply arrives while 0x20 waits, however slowly the time-out above ran.
    camera_->setCommandHandler(kEchoCommand, [this](const commandPayload& request) {
        camera_->releaseHeldReplies();
        commandReply reply;
        reply.payload[0] = request[0];
        return reply;
    });
    camera_->setReplyLatency(300ms);
    const auto request = bytes({0x42});
    std::array<uint8_t, 1> reply{};
    EXPECT_EQ(hid.command(kEchoCommand, request.data(), 1, reply.data(), 1), 0);
    EXPECT_EQ(reply[0], 0x42);
    EXPECT_TRUE(logged(loggedMessages(),
                       "fx3Hid::hidWaitReponse: timeout for cmdID: 0x21, timeout: 100, events: 0"));
}

struct interruptSeen {
    std::atomic<int> calls{0};
    uint8_t type = 0;
    std::array<uint8_t, 60> data{};
};

void onInterrupt(uint8_t type, const uint8_t* data, void* context) {
    auto* seen = static_cast<interruptSeen*>(context);
    seen->type = type;
    std::copy(data, data + 60, seen->data.begin());
    ++seen->calls;
}

TEST_F(fx3HidTest, interruptsGoToTheCallbackAndNeverWakeAWaiter) {
    fx3Hid& hid = openChannel();
    interruptSeen seen;
    hid.setInterruptCallback(&onInterrupt, &seen);
    std::array<uint8_t, 60> data{};
    data[0] = 0x02;
    data[4] = 0x07;
    data[59] = 0x99;

    camera_->queueNoReply();
    auto lock = hid.transaction();
    ASSERT_EQ(hid.hidReport(kEchoCommand, nullptr, 0), 0);
    camera_->injectInterrupt(1, data);
    // Taken before the wait starts, the interrupt would still have left the wake-up set.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (seen.calls.load() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(hid.hidWaitReponse(kEchoCommand, 100), 1);
    ASSERT_EQ(seen.calls.load(), 1);
    EXPECT_EQ(seen.type, 1);
    EXPECT_EQ(seen.data, data);
    // The interrupt replaced the newest report and its fields.
    EXPECT_EQ(hid.lastReportId(), 2);
    EXPECT_EQ(hid.lastCmdId(), 1);
    EXPECT_EQ(hid.lastStatus(), 0x02);
    EXPECT_EQ(hid.rxReport()[61], 0x99);
    lock.unlock();
    EXPECT_TRUE(logged(loggedMessages(),
                       "fx3Hid::hidWaitReponse: timeout for cmdID: 0x20, timeout: 100, events: 0"));
}

TEST_F(fx3HidTest, requestPayloadIsCutAt62Bytes) {
    fx3Hid& hid = openChannel();
    camera_->startRecording();
    std::vector<uint8_t> payload(63);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<uint8_t>(i + 1);
    }
    EXPECT_EQ(hid.command(kEchoCommand, payload.data(), 62), 0);
    EXPECT_EQ(hid.command(kEchoCommand, payload.data(), 63), 0);
    const auto outputs = recordedOf(wireKind::output);
    ASSERT_EQ(outputs.size(), 2u);
    for (const auto& output : outputs) {
        ASSERT_EQ(output.bytes.size(), 64u);
        EXPECT_TRUE(std::equal(payload.begin(), payload.begin() + 62, output.bytes.begin() + 2));
    }
    const auto messages = loggedMessages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(),
                         std::string("fx3Hid::hidReport: too much data for report request: 63, "
                                     "maximum is 62, sent first 62 bytes")),
              1);
}

TEST_F(fx3HidTest, featureWritesCarryAtMost1023Bytes) {
    fx3Hid& hid = openChannel();
    camera_->startRecording();
    std::vector<uint8_t> buffer(2 + 2000);
    buffer[0] = 0xAB;
    buffer[1] = 0xCD;
    for (std::size_t i = 2; i < buffer.size(); ++i) {
        buffer[i] = static_cast<uint8_t>(i);
    }
    for (uint16_t length : {1023, 1024, 2000}) {
        EXPECT_EQ(hid.transferFeat(fx3Hid::kWrite, kOpenWritePhase, buffer.data(), 2, length), 0);
        const auto sets = recordedOf(wireKind::featureSet);
        ASSERT_FALSE(sets.empty());
        const auto& feature = sets.back().bytes;
        ASSERT_EQ(feature.size(), 1024u) << length;
        EXPECT_EQ(feature[0], 1);
        EXPECT_TRUE(std::equal(buffer.begin() + 2, buffer.begin() + 2 + 1023, feature.begin() + 1));
        ASSERT_EQ(written_.size(), 1023u);
    }
    // Each transfer: the command, its reply, then the end-of-transfer command 0xE2.
    const auto outputs = recordedOf(wireKind::output);
    ASSERT_EQ(outputs.size(), 6u);
    EXPECT_EQ(outputs[1].bytes[1], 0xE2);
    EXPECT_EQ(outputs[1].bytes[2], 0x00);
    const auto messages = loggedMessages();
    for (int length : {1024, 2000}) {
        EXPECT_TRUE(logged(messages, "fx3Hid::hidSetFeature: too much data for feature request: " +
                                         std::to_string(length) +
                                         ", maximum is 1023, sent first 1023 bytes"));
    }
}

TEST_F(fx3HidTest, featureReadsBeginWithTheReportId) {
    fx3Hid& hid = openChannel();
    for (uint16_t length : {1023, 1024, 2000}) {
        std::vector<uint8_t> buffer(2048, 0xEE);
        EXPECT_EQ(hid.transferFeat(fx3Hid::kRead, kOpenReadPhase, buffer.data(), 4, length), 0);
        EXPECT_EQ(buffer[0], 1) << length;  // the report id, then the data
        for (std::size_t i = 1; i < 1023; ++i) {
            ASSERT_EQ(buffer[i], static_cast<uint8_t>((i - 1) * 7 + 3)) << i;
        }
        EXPECT_EQ(buffer[1023], 0xEE) << "never more than 1023 bytes";
    }
    const auto messages = loggedMessages();
    EXPECT_TRUE(logged(messages,
                       "fx3Hid::hidGetFeature: too much data for feature request: 2000, maximum "
                       "is 1023, get only 1023 bytes"));
}

TEST_F(fx3HidTest, failedFeatureTransfersReportAndClearTheBuffer) {
    fx3Hid& hid = openChannel();
    camera_->setFailingFeatures(true);
    std::vector<uint8_t> buffer(64, 0x55);
    EXPECT_EQ(hid.transferFeat(fx3Hid::kWrite, kOpenWritePhase, buffer.data(), 4, 40), 1);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + 40, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(buffer[40], 0x55);
    EXPECT_EQ(hid.transferFeat(fx3Hid::kRead, kOpenReadPhase, buffer.data(), 4, 40), 1);
    camera_->setFailingFeatures(false);
    camera_->setCommandHandler(kOpenWritePhase, nullptr);
    EXPECT_EQ(hid.transferFeat(fx3Hid::kWrite, kOpenWritePhase, buffer.data(), 4, 40), 1);

    const auto messages = loggedMessages();
    for (const char* text :
         {"fx3Hid::hidSetFeature", "transferFeat: setFeature, cmdId: 70",
          "fx3Hid::hidGetFeature: hidGetFeature failed", "transferFeat: getFeature, cmdId: 71",
          "transferFeat: hidReport, cmdId: 70"}) {
        EXPECT_TRUE(logged(messages, text)) << text;
    }
}

TEST_F(fx3HidTest, deviceMissingAtCallTime) {
    fx3Hid hid(log_, cameras_.hidBackend());  // never opened
    uint8_t buffer[16] = {};
    EXPECT_EQ(hid.hidReport(kEchoCommand, buffer, 1), 1);
    EXPECT_EQ(hid.hidSetFeature(1, buffer, 16), 1);
    EXPECT_EQ(hid.command(kEchoCommand, buffer, 1), 1);

    fx3Hid& open = openChannel();
    camera_->unplug();
    EXPECT_EQ(open.command(kEchoCommand, buffer, 1), 1);
    const auto messages = loggedMessages();
    EXPECT_TRUE(logged(messages, "fx3Hid::hidReport: device handle is NULL"));
    EXPECT_TRUE(logged(messages, "fx3Hid::hidSetFeature: device handle is NULL"));
    EXPECT_TRUE(logged(messages, "hidReport, write failed: 19 (0x13)"));
}

TEST_F(fx3HidTest, openFindsOnlyAPresentCamera) {
    fx3Hid hid(log_, cameras_.hidBackend());
    EXPECT_FALSE(hid.open(kVendorId, 0x0108));
    camera_->unplug();
    EXPECT_FALSE(hid.open(kVendorId, kProductId));
    camera_->replug();
    EXPECT_TRUE(hid.open(kVendorId, kProductId));
    EXPECT_TRUE(hid.open(kVendorId, kProductId));  // keeps its reader and device
    EXPECT_EQ(hid.command(kEchoCommand, nullptr, 0), 0);
    const auto messages = loggedMessages();
    EXPECT_TRUE(logged(messages, "fx3Hid::open: can't create thread"));
}

TEST_F(fx3HidTest, openAfterTheDeviceWentAwayOpensItAnew) {
    fx3Hid& hid = openChannel();
    camera_->unplug();
    EXPECT_EQ(hid.command(kEchoCommand, nullptr, 0), 1);
    camera_->replug();
    ASSERT_TRUE(hid.open(kVendorId, kProductId));  // not the dead channel of before
    EXPECT_EQ(hid.command(kEchoCommand, nullptr, 0), 0);
}

TEST_F(fx3HidTest, closeWhileAnotherThreadWaitsFailsThatWaitAtOnce) {
    fx3Hid& hid = openChannel();
    camera_->startRecording();
    camera_->queueNoReply();
    std::atomic<int> result{-1};
    std::chrono::steady_clock::duration waited{};
    std::thread waiter([&] {
        const auto start = std::chrono::steady_clock::now();
        result = hid.command(kEchoCommand, nullptr, 0, nullptr, 0, 5000);
        waited = std::chrono::steady_clock::now() - start;
    });
    ASSERT_TRUE(waitForOutputReports(1));
    hid.close();
    waiter.join();
    EXPECT_EQ(result.load(), 1);
    EXPECT_LT(waited, 4s);
    EXPECT_FALSE(hid.isOpen());
    EXPECT_EQ(hid.command(kEchoCommand, nullptr, 0), 1);
}

// A camera may answer and then go away (a controller restarting after a firmware update): a
// reply taken in before the channel is closed or its waits abandoned is the command's outcome.
TEST_F(fx3HidTest, aReplyThatArrivedBeforeTheCloseOrAbandonStillCounts) {
    for (const bool closing : {true, false}) {
        SCOPED_TRACE(closing ? "close" : "abandon");
        fx3Hid& hid = openChannel();
        const auto request = bytes({0x5A});
        ASSERT_EQ(hid.hidReport(kEchoCommand, request.data(), 1), 0);
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (hid.lastCmdId() != kEchoCommand && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        closing ? hid.close() : hid.abandonWaits();
        EXPECT_EQ(hid.hidWaitReponse(kEchoCommand, 1000), 0);
        uint8_t payload = 0;
        hid.copyReplyPayload(&payload, 1);
        EXPECT_EQ(payload, 0x5A);
    }
}

// Abandoned waits without a reply fail without their time-out, the one in progress and the later
// ones, while the channel stays open; the next open waits again.
TEST_F(fx3HidTest, abandonedWaitsFailUntilTheNextOpen) {
    fx3Hid& hid = openChannel();
    camera_->startRecording();
    camera_->queueNoReply();
    std::atomic<int> result{-1};
    std::thread waiter([&] { result = hid.command(kEchoCommand, nullptr, 0, nullptr, 0, 10000); });
    ASSERT_TRUE(waitForOutputReports(1));
    hid.abandonWaits();
    waiter.join();
    EXPECT_EQ(result.load(), 1);
    EXPECT_TRUE(hid.isOpen());
    camera_->queueNoReply();
    EXPECT_EQ(hid.command(kEchoCommand, nullptr, 0, nullptr, 0, 10000), 1);
    hid.close();
    ASSERT_TRUE(hid.open(kVendorId, kProductId));
    EXPECT_EQ(hid.command(kEchoCommand, nullptr, 0), 0);
    const auto messages = loggedMessages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(),
                         std::string("fx3Hid::hidWaitReponse: wait abandoned (cmdID: 0x20)")),
              2);
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const std::string& text) {
                                return text.find("timeout for cmdID") != std::string::npos;
                            }),
              0);
}

TEST_F(fx3HidTest, aNewChannelAfterCloseWorks) {
    for (int round = 0; round < 2; ++round) {
        fx3Hid& hid = openChannel();
        EXPECT_EQ(hid.command(kEchoCommand, nullptr, 0), 0) << round;
        hid.close();
        hid_.reset();
    }
    const auto messages = loggedMessages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), std::string("fx3Hid: construct")), 2);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), std::string("fx3Hid::close: close")), 2);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), std::string("fx3Hid: destruct")), 2);
}

TEST_F(fx3HidTest, concurrentCommandsEachGetTheirOwnReply) {
    camera_->setReplyLatency(200us);
    fx3Hid& hid = openChannel();
    std::atomic<int> mismatches{0};
    auto client = [&](uint8_t tag) {
        for (int i = 0; i < 200; ++i) {
            const uint8_t request[2] = {tag, static_cast<uint8_t>(i)};
            uint8_t reply[2] = {};
            if (hid.command(kEchoCommand, request, 2, reply, 2) != 0 || reply[0] != tag ||
                reply[1] != request[1]) {
                ++mismatches;
            }
        }
    };
    std::thread first(client, 0x11);
    std::thread second(client, 0x22);
    first.join();
    second.join();
    EXPECT_EQ(mismatches.load(), 0);
}

// The library's own HID access lists the system's devices and then the emulated cameras.
TEST(fx3HidSystem, findsTheEmulatedCamerasNextToTheSystemsDevices) {
    emu::emulatedCameraSet::instance().configure(2);
    backendRegistry backends;
    const auto interfaces = backends.hid().enumerate(kVendorId, kProductId);
    std::vector<std::string> paths;
    for (const auto& info : interfaces) {
        if (info.usagePage == 0x0001 && info.usage == 0x0000) {
            paths.push_back(info.path);
        }
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"emulated:hid:1", "emulated:hid:2"}));

    logger quiet;
    fx3Hid hid(quiet, backends.hid());
    ASSERT_TRUE(hid.open(kVendorId, kProductId));
    EXPECT_EQ(hid.command(0x01, nullptr, 0), 1);  // answered: NOT IMPLEMENTED
    EXPECT_EQ(hid.lastCmdId(), 0x01);
    EXPECT_EQ(hid.lastStatus(), 4);
    hid.close();
    emu::emulatedCameraSet::instance().configure(0);
}

// The emulated cameras' HID interfaces as a backend that cannot tell which USB device a
// collection belongs to.
class keylessHid : public platform::hidBackend {
  public:
    explicit keylessHid(platform::hidBackend& inner) : inner_(inner) {}
    std::vector<platform::hidInterfaceInfo> enumerate(uint16_t vendorId,
                                                      uint16_t productId) override {
        auto found = inner_.enumerate(vendorId, productId);
        for (auto& info : found) {
            info.deviceKey.clear();
        }
        return found;
    }
    std::unique_ptr<platform::hidDevice> open(const std::string& path) override {
        return inner_.open(path);
    }

  private:
    platform::hidBackend& inner_;
};

// Which camera's interface open() takes for a USB device key: the camera's own, a collection
// of unknown device where nothing tells them apart, never one of another device.
TEST(fx3HidPairing, opensTheInterfaceOfTheDeviceWithTheKey) {
    emu::emulatedCameraSet cameras(3);
    keylessHid keyless(cameras.hidBackend());
    cameras.camera(3)->unplug();
    const std::string key2 = cameras.camera(2)->videoKey();
    const std::string key3 = cameras.camera(3)->videoKey();
    struct pairingCase {
        const char* what;
        bool keysKnown;
        std::string key;
        int expectedCamera;  // 0: nothing opened
    };
    const std::vector<pairingCase> cases = {
        {"its own device", true, key2, 2},
        {"no key: the first", true, "", 1},
        {"its device is away", true, key3, 0},
        {"no device known: the first", false, key2, 1},
    };
    for (const pairingCase& c : cases) {
        SCOPED_TRACE(c.what);
        logger quiet;
        platform::hidBackend& backend =
            c.keysKnown ? static_cast<platform::hidBackend&>(cameras.hidBackend()) : keyless;
        fx3Hid hid(quiet, backend);
        EXPECT_EQ(hid.isPresent(kVendorId, kProductId, c.key), c.expectedCamera != 0);
        ASSERT_EQ(hid.open(kVendorId, kProductId, c.key), c.expectedCamera != 0);
        if (c.expectedCamera == 0) {
            continue;
        }
        for (int number = 1; number <= 2; ++number) {
            cameras.camera(number)->clearRecording();
            cameras.camera(number)->startRecording();
        }
        hid.command(0x01, nullptr, 0);
        for (int number = 1; number <= 2; ++number) {
            EXPECT_EQ(cameras.camera(number)->recorded().empty(), number != c.expectedCamera)
                << number;
            cameras.camera(number)->stopRecording();
        }
        hid.close();
    }
}

}  // namespace
}  // namespace dravix
