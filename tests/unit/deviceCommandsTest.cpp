// The camera's device commands and identity refresh sets against the emulated camera: wire
// bytes, replies that name another component or sub-command, the I2C paths and their limits,
// the configuration blocks, and which status fields each refresh set fills.
#include "device/deviceCommands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "device/identityRefresh.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "emu/emulatedIdentity.h"
#include "fileLog.h"

namespace dravix {
namespace {

using namespace std::chrono_literals;
using emu::commandPayload;
using emu::commandReply;
using emu::wireKind;
using emu::wireRecord;

class deviceCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        camera_ = cameras_.camera(1);
        camera_->setReplyLatency(0us);
        ASSERT_TRUE(hid_->open(emu::emulatedCamera::kVendorId, emu::emulatedCamera::kProductId));
        camera_->startRecording();
    }

    // The messages logged so far; ends the log session, so call it once, at the end.
    std::vector<std::string> messages() {
        hid_->close();
        return files_.messages();
    }
    static bool contains(const std::vector<std::string>& messages, const std::string& text) {
        return std::find(messages.begin(), messages.end(), text) != messages.end();
    }

    // The reports of `kind` that crossed the wire, report id first.
    std::vector<std::vector<uint8_t>> wire(wireKind kind) const {
        std::vector<std::vector<uint8_t>> result;
        for (const wireRecord& record : camera_->recorded()) {
            if (record.kind == kind) {
                result.push_back(record.bytes);
            }
        }
        return result;
    }
    // The first `count` payload bytes of the command report number `n`.
    std::vector<uint8_t> request(std::size_t n, std::size_t count) const {
        const auto sent = wire(wireKind::output);
        return std::vector<uint8_t>(sent.at(n).begin() + 2, sent.at(n).begin() + 2 + count);
    }

    // Answers `commandId` with `firstByte` in reply payload byte 0 and zeros after it.
    void answerWith(uint8_t commandId, uint8_t firstByte) {
        camera_->setCommandHandler(commandId, [firstByte](const commandPayload&) {
            commandReply reply;
            reply.payload[0] = firstByte;
            return reply;
        });
    }

    test::fileLog files_{"dravix-device"};
    emu::emulatedCameraSet cameras_{1};
    std::shared_ptr<emu::emulatedCamera> camera_;
    std::shared_ptr<fx3Hid> hid_ = std::make_shared<fx3Hid>(files_.log(), cameras_.hidBackend());
    DeviceStatus status_{};
    std::recursive_mutex statusMutex_;
    deviceCommands commands_{files_.log(), [this] { return hid_; }, status_, statusMutex_};
    identityRefresh refresh_{files_.log(), commands_};
};

TEST_F(deviceCommandsTest, identityRecordsComeFromTheirCommandsInBigEndian) {
    camera_->identity().setVersion(4, 2, 7, 0x1234, 9, 8, 7, 0xBEEF);
    camera_->identity().setSerial(3, {0x11, 0x22, 0x33, 0x44, 0x55});
    camera_->identity().setHardwareRev(0, 0xA1B2C3D4);

    VersionInfo version{};
    BuildInfo build{};
    ASSERT_EQ(commands_.getVersion(4, version, build), 0);
    EXPECT_EQ(version.major, 2);
    EXPECT_EQ(version.minor, 7);
    EXPECT_EQ(version.patch, 0x1234);
    EXPECT_EQ(std::vector<uint8_t>(build.part, build.part + 3), (std::vector<uint8_t>{9, 8, 7}));
    EXPECT_EQ(build.number, 0xBEEF);
    SerialInfo serial{};
    ASSERT_EQ(commands_.getSerialNumber(3, serial), 0);
    EXPECT_EQ(serial.part[0], 0x11);
    EXPECT_EQ(serial.part[1], 0x22);
    EXPECT_EQ(serial.number, 0x3344);
    uint32_t revision = 0;
    ASSERT_EQ(commands_.getHardwareRev(0, revision), 0);
    EXPECT_EQ(revision, 0xA1B2C3D4u);

    EXPECT_EQ(request(0, 10), (std::vector<uint8_t>{4, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(wire(wireKind::output)[0][1], deviceCommands::kCmdGetVersion);
    EXPECT_EQ(request(1, 5), (std::vector<uint8_t>{3, 0, 0, 0, 0}));
    EXPECT_EQ(wire(wireKind::output)[2][1], deviceCommands::kCmdGetHwRev);
}

TEST_F(deviceCommandsTest, setCommandsChangeWhatTheCameraReportsAndUseTheirSubTypes) {
    const uint8_t serial[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(commands_.setSerialNumber(5, serial), 0);
    EXPECT_EQ(camera_->identity().serial(5).raw, (std::array<uint8_t, 5>{1, 2, 3, 4, 5}));
    ASSERT_EQ(commands_.setHardwareRev(3, 0x01020304), 0);
    EXPECT_EQ(camera_->identity().hardwareRev(3), 0x01020304u);
    EXPECT_EQ(request(0, 6), (std::vector<uint8_t>{0x07, 1, 2, 3, 4, 5}));
    EXPECT_EQ(request(1, 5), (std::vector<uint8_t>{0x04, 1, 2, 3, 4}));
    // A component without a sub-type sends 0, which the camera refuses.
    EXPECT_NE(commands_.setSerialNumber(1, serial), 0);
    EXPECT_EQ(request(2, 1), std::vector<uint8_t>{0x00});
}

TEST_F(deviceCommandsTest, repliesForAnotherComponentOrSubCommand) {
    for (uint8_t command : {deviceCommands::kCmdGetVersion, deviceCommands::kCmdGetSerial,
                            deviceCommands::kCmdGetHwRev, deviceCommands::kCmdCtrl,
                            deviceCommands::kCmdConfigGet, deviceCommands::kCmdConfigSet}) {
        answerWith(command, 0x7E);
    }
    VersionInfo version{1, 1, 1};
    BuildInfo build{{1, 1, 1}, 0, 1};
    EXPECT_EQ(commands_.getVersion(0, version, build), 0);  // success with zero outputs
    EXPECT_EQ(version.patch, 0);
    EXPECT_EQ(build.number, 0);
    EXPECT_EQ(commands_.getBuild(1, build), 0);
    SerialInfo serial{};
    EXPECT_EQ(commands_.getSerialNumber(0, serial), 1);
    uint32_t revision = 7;
    EXPECT_EQ(commands_.getHardwareRev(0, revision), 1);
    EXPECT_EQ(revision, 0u);
    EXPECT_EQ(commands_.getUsbSpeed(), 1);
    uint8_t info[18] = {};
    EXPECT_EQ(commands_.getHeadInfo(info), 1);
    EXPECT_EQ(commands_.getOutputSize(), 0);  // never reports failure
    EXPECT_EQ(commands_.rebootCamera(), 0);   // logged only
    uint8_t block[32] = {};
    EXPECT_EQ(commands_.fx3Config(0x00D3, 0x81, block, sizeof block), 1);
    EXPECT_EQ(commands_.fx3Config(0x00D2, 0x82, block, sizeof block), 0);  // transport's result

    const auto logged = messages();
    for (const char* text :
         {"camera::getSerialNumber: received component does not match",
          "camera::getHardwareRev: received component does not match",
          "camera::getUsbSpeed, receive", "camera::getHeadInfo, receive",
          "camera::getOutputSize, receive", "rebootCamera: received type does not match",
          "fx3Config: received type does not match 81 != 7e",
          "fx3Config: received type does not match 82 != 7e"}) {
        EXPECT_TRUE(contains(logged, text)) << text;
    }
}

// A command the camera answers with an error status: each operation's message and result,
// and its outputs zeroed.
TEST_F(deviceCommandsTest, failedCommandsSayWhichAndLeaveZeroedOutputs) {
    constexpr uint8_t kError = 3;
    VersionInfo version{9, 9, 9};
    BuildInfo build{{9, 9, 9}, 0, 9};
    SerialInfo serial{{9, 9}, 9};
    uint32_t revision = 9;
    uint8_t bytes[128] = {};
    const uint8_t reg[] = {0x10};
    const auto fails = [&](auto operation) {
        camera_->queueReplyStatus(kError);
        return operation() != 0;
    };
    EXPECT_TRUE(fails([&] { return commands_.getVersion(1, version, build); }));
    EXPECT_EQ(version.major, 0);
    EXPECT_TRUE(fails([&] { return commands_.getBuild(4, build); }));
    EXPECT_EQ(build.part[0], 0);
    EXPECT_TRUE(fails([&] { return commands_.getSerialNumber(3, serial); }));
    EXPECT_EQ(serial.number, 0);
    EXPECT_TRUE(fails([&] { return commands_.getHardwareRev(0, revision); }));
    EXPECT_EQ(revision, 0u);
    EXPECT_TRUE(fails([&] { return commands_.getUsbSpeed(); }));
    EXPECT_TRUE(fails([&] { return commands_.getHeadInfo(bytes); }));
    EXPECT_FALSE(fails([&] { return commands_.getOutputSize(); }));  // only logged
    EXPECT_TRUE(fails([&] { return commands_.i2cRead(0x20, reg, 1, bytes, 8); }));
    EXPECT_TRUE(fails([&] { return commands_.i2cRead(0x20, reg, 1, bytes, 100); }));
    EXPECT_TRUE(fails([&] { return commands_.i2cWrite(0x20, reg, 1, bytes, 8); }));
    EXPECT_TRUE(fails([&] { return commands_.i2cWrite(0x20, reg, 1, bytes, 100); }));
    EXPECT_TRUE(fails([&] { return commands_.setAppState(0); }));

    const auto logged = messages();
    for (const char* text :
         {"camera::getVersion, component: 1", "camera::getBuild, component: 4",
          "camera::getSerialNumber, component: 3", "camera::getHardwareRev, component: 0",
          "camera::getUsbSpeed: HID communication", "camera::getHeadInfo: HID communication",
          "camera::getOutputSize", "camera::i2cRead: HID communication",
          "camera::i2cRead: HID feat. communication", "camera::i2cWrite: HID communication",
          "camera::i2cWrite: HID feat. communication", "camera::setAppState: HID communication"}) {
        EXPECT_TRUE(contains(logged, text)) << text;
    }
}

// A failed command inside a refresh set zeroes its own fields; the rest of the set still runs.
TEST_F(deviceCommandsTest, aRefreshSetGoesOnAfterAFailedCommand) {
    camera_->setCommandHandler(deviceCommands::kCmdGetSerial, [](const commandPayload&) {
        commandReply refused;
        refused.status = 3;
        return refused;
    });
    status_.serialElc = SerialInfo{{1, 1}, 1};
    refresh_.head();
    EXPECT_EQ(status_.serialElc.number, 0);
    EXPECT_EQ(status_.serialDisposable.number, 0);
    EXPECT_EQ(status_.hardwareRevElc, camera_->identity().hardwareRev(3));
    EXPECT_EQ(status_.versionFpgaHead.minor, camera_->identity().version(4).minor);
}

TEST_F(deviceCommandsTest, controlCommandsAndConfigurationBlocks) {
    camera_->identity().setUsbSpeed(2);
    camera_->identity().setOutputSize(1280, 720);
    ASSERT_EQ(commands_.getUsbSpeed(), 0);
    EXPECT_EQ(status_.usbSpeed, 2u);
    ASSERT_EQ(commands_.getOutputSize(), 0);
    EXPECT_EQ(commands_.outputWidth(), 1280);
    EXPECT_EQ(commands_.outputHeight(), 720);
    EXPECT_EQ(request(0, 2), (std::vector<uint8_t>{0x01, 0x00}));
    EXPECT_EQ(request(1, 5), (std::vector<uint8_t>{0x10, 0, 0, 0, 0}));

    uint8_t written[40];
    for (std::size_t i = 0; i < sizeof written; ++i) {
        written[i] = static_cast<uint8_t>(i + 1);
    }
    ASSERT_EQ(commands_.fx3Config(0x00D2, 0x82, written, sizeof written), 0);  // 32 bytes go
    uint8_t read[8] = {};
    ASSERT_EQ(commands_.fx3Config(0x00D3, 0x82, read, sizeof read), 0);
    EXPECT_EQ(std::vector<uint8_t>(read, read + 8), std::vector<uint8_t>(written, written + 8));
    EXPECT_EQ(camera_->identity().configBlock(0x82)[31], 32);
    ASSERT_EQ(commands_.fx3Config(0x0100, 0, nullptr, 0), 0);
    EXPECT_EQ(camera_->identity().reboots(), 1);

    EXPECT_EQ(commands_.fx3Config(0x00D2, 0x80, read, sizeof read), 1);
    EXPECT_EQ(commands_.fx3Config(0x0042, 0x81, read, sizeof read), 1);
    EXPECT_TRUE(
        contains(messages(), "camera::fx3Config, not implemented: par1: 0x00D2, par2: 0x0080"));
}

// Command id and payload of each remaining command, as the camera receives them.
TEST_F(deviceCommandsTest, wireBytesOfHeadInfoRebootConfigurationAndApplicationState) {
    uint8_t info[18] = {};
    ASSERT_EQ(commands_.getHeadInfo(info), 0);
    EXPECT_EQ(info[0], camera_->identity().headInfo()[0]);
    ASSERT_EQ(commands_.rebootCamera(), 0);
    uint8_t block[32] = {};
    ASSERT_EQ(commands_.fx3Config(0x00D3, 0x81, block, sizeof block), 0);
    ASSERT_EQ(commands_.setAppState(0), 0);

    const auto sent = wire(wireKind::output);
    ASSERT_EQ(sent.size(), 4u);
    std::vector<uint8_t> headInfo(18, 0);
    headInfo[0] = 0x02;
    EXPECT_EQ(sent[0][1], deviceCommands::kCmdCtrl);
    EXPECT_EQ(request(0, 18), headInfo);
    EXPECT_EQ(request(1, 2), (std::vector<uint8_t>{0x82, 0x00}));
    EXPECT_EQ(sent[2][1], deviceCommands::kCmdConfigGet);
    std::vector<uint8_t> configGet(34, 0);
    configGet[0] = 0x81;
    EXPECT_EQ(request(2, 34), configGet);
    EXPECT_EQ(sent[3][1], deviceCommands::kCmdAppState);
    EXPECT_EQ(request(3, 2), (std::vector<uint8_t>{0x00, 0x00}));
}

TEST_F(deviceCommandsTest, i2cReadGoesInOneReportOrAFeatureReportUpToItsLimit) {
    const uint8_t reg[] = {0x01, 0x00};
    std::vector<uint8_t> stored(1100);
    for (std::size_t i = 0; i < stored.size(); ++i) {
        stored[i] = static_cast<uint8_t>(i * 7);
    }
    camera_->i2cBus().preset(0x42, 0x0100, stored);

    std::vector<uint8_t> out(1024);
    ASSERT_EQ(commands_.i2cRead(0x42, reg, 2, out.data(), 12), 0);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 12),
              std::vector<uint8_t>(stored.begin(), stored.begin() + 12));
    EXPECT_EQ(request(0, 6), (std::vector<uint8_t>{0x42, 2, 0, 12, 0x01, 0x00}));
    EXPECT_TRUE(wire(wireKind::featureGet).empty());

    ASSERT_EQ(commands_.i2cRead(0x42, reg, 2, out.data(), 60), 0);
    ASSERT_EQ(wire(wireKind::featureGet).size(), 1u);
    // A feature report begins with its id; the data follow.
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 1, out.begin() + 60),
              std::vector<uint8_t>(stored.begin(), stored.begin() + 59));

    EXPECT_EQ(commands_.i2cRead(0x42, reg, 2, out.data(), 1024), 1);
    EXPECT_TRUE(contains(messages(),
                         "camera::i2cRead: max length is 1018 while current length is "
                         "1024"));
}

TEST_F(deviceCommandsTest, i2cWriteGoesInOneReportOrAFeatureReportUpToItsLimit) {
    const uint8_t reg[] = {0x20};
    std::vector<uint8_t> data(1017);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i + 3);
    }
    ASSERT_EQ(commands_.i2cWrite(0x33, reg, 1, data.data(), 56), 0);
    EXPECT_TRUE(wire(wireKind::featureSet).empty());
    EXPECT_EQ(wire(wireKind::output)[0].size(), 64u);
    EXPECT_EQ(camera_->i2cBus().contents(0x33, 0x20, 56),
              std::vector<uint8_t>(data.begin(), data.begin() + 56));

    ASSERT_EQ(commands_.i2cWrite(0x33, reg, 1, data.data(), 57), 0);
    EXPECT_EQ(wire(wireKind::featureSet).size(), 1u);
    EXPECT_EQ(camera_->i2cBus().contents(0x33, 0x20, 57),
              std::vector<uint8_t>(data.begin(), data.begin() + 57));

    EXPECT_EQ(commands_.i2cWrite(0x33, reg, 1, data.data(), 1016), 0);
    EXPECT_EQ(commands_.i2cWrite(0x33, reg, 1, data.data(), 1017), 1);
    EXPECT_TRUE(contains(messages(),
                         "camera::i2cWrite: max length is 1017 while current length "
                         "is 1017"));
}

TEST_F(deviceCommandsTest, versionsLogInThreeOrFourParts) {
    refresh_.logVersion("FX3", VersionInfo{1, 2, 10005}, BuildInfo{{3, 4, 5}, 0, 6});
    refresh_.logVersion("ELC", VersionInfo{1, 2, 9999}, BuildInfo{{3, 4, 5}, 0, 6});
    refresh_.logBuild("Rec LNX", BuildInfo{{7, 8, 9}, 0, 10});
    refresh_.logSerial("CCU", SerialInfo{{1, 2}, 345});
    const auto logged = messages();
    EXPECT_TRUE(contains(logged, "FX3"));
    EXPECT_TRUE(contains(logged, "version: 1.2.5.1"));
    EXPECT_TRUE(contains(logged, "version: 1.2.9999"));
    EXPECT_TRUE(contains(logged, "build:   3.04.5.6"));
    EXPECT_TRUE(contains(logged, "Rec LNX build: 7.08.9.10"));
    EXPECT_TRUE(contains(logged, "CCU SNO: 1.02.345"));
}

// Each refresh set writes its own fields of the status record and no other byte.
TEST_F(deviceCommandsTest, eachRefreshSetFillsExactlyItsStatusFields) {
    using field = std::pair<std::size_t, std::size_t>;  // offset, width
    using refreshSet = bool (identityRefresh::*)(const identityRefresh::stopCheck&);
    const std::vector<std::pair<refreshSet, std::vector<field>>> sets = {
        {&identityRefresh::controller, {{12, 8}, {28, 12}, {132, 4}}},
        {&identityRefresh::controllerFull,
         {{4, 4}, {12, 8}, {28, 12}, {76, 18}, {94, 8}, {124, 4}, {132, 4}}},
        {&identityRefresh::head, {{8, 4}, {20, 8}, {46, 18}, {105, 18}, {128, 4}, {142, 4}}},
        {&identityRefresh::recorder, {{76, 18}, {94, 8}}},
    };
    constexpr uint8_t kUntouched = 0xEE;
    for (const auto& [refresh, fields] : sets) {
        std::memset(&status_, kUntouched, sizeof status_);
        (refresh_.*refresh)({});
        const auto* bytes = reinterpret_cast<const uint8_t*>(&status_);
        std::set<std::size_t> inFields;
        for (const auto& [offset, width] : fields) {
            for (std::size_t i = offset; i < offset + width; ++i) {
                inFields.insert(i);
            }
        }
        for (std::size_t i = 0; i < sizeof status_; ++i) {
            if (inFields.count(i) == 0) {
                EXPECT_EQ(bytes[i], kUntouched) << "offset " << i;
            }
        }
        for (const auto& [offset, width] : fields) {
            EXPECT_FALSE(std::all_of(bytes + offset, bytes + offset + width,
                                     [](uint8_t b) { return b == kUntouched; }))
                << "field at " << offset;
        }
    }
    EXPECT_EQ(commands_.outputWidth(), 1920);  // the full set ends with the output size
}

// The head and interrupt switches: their wire bytes, the state they leave in the camera, and a
// reply naming another sub-command, which is logged but keeps the transport's result.
TEST_F(deviceCommandsTest, switchesSendTheirSubCommandAndValue) {
    using setter = uint8_t (deviceCommands::*)(bool);
    using reader = bool (emu::emulatedIdentity::*)() const;
    struct switchCase {
        setter set;
        reader state;
        uint8_t subCommand;
        const char* wrongEcho;
    };
    const switchCase cases[] = {
        {&deviceCommands::setHeadPower, &emu::emulatedIdentity::headPower, 0x80,
         "setHeadPower: received type does not match"},
        {&deviceCommands::setFx3IntrHandling, &emu::emulatedIdentity::controllerInterrupts, 0x81,
         "setFx3IntrHandling: received type does not match"},
        {&deviceCommands::enableHeadInt, &emu::emulatedIdentity::headInterrupts, 0x83,
         "enableHeadInt: received type does not match"},
    };
    std::size_t sent = 0;
    for (const switchCase& c : cases) {
        for (bool on : {false, true}) {
            ASSERT_EQ((commands_.*c.set)(on), 0);
            EXPECT_EQ(wire(wireKind::output).at(sent)[1], deviceCommands::kCmdCtrl);
            EXPECT_EQ(request(sent++, 3), (std::vector<uint8_t>{c.subCommand, on, 0}));
            EXPECT_EQ((camera_->identity().*c.state)(), on) << int(c.subCommand);
        }
    }
    answerWith(deviceCommands::kCmdCtrl, 0x7E);
    for (const switchCase& c : cases) {
        EXPECT_EQ((commands_.*c.set)(true), 0);
    }
    camera_->setCommandHandler(deviceCommands::kCmdCtrl, nullptr);  // refused: a failure
    for (const switchCase& c : cases) {
        EXPECT_EQ((commands_.*c.set)(true), 1);
    }
    const auto logged = messages();
    for (const switchCase& c : cases) {
        EXPECT_TRUE(contains(logged, c.wrongEcho)) << c.wrongEcho;
    }
}

// The head keys reach the status record only from a good reply; the log line follows each read.
TEST_F(deviceCommandsTest, headKeysAreStoredOnlyFromAGoodReply) {
    struct keysCase {
        const char* what;
        std::function<void()> fault;
        uint8_t result;
        uint8_t key0, key1;
        const char* error;
    };
    camera_->identity().setHeadKeys(0x15, 0x02);
    const keysCase cases[] = {
        {"good reply", [] {}, 0, 0x15, 0x02, nullptr},
        {"failed read", [this] { camera_->queueReplyStatus(3); }, 1, 0x15, 0x02,
         "camera::getHeadKeys: HID communication"},
        {"wrong echo", [this] { answerWith(deviceCommands::kCmdCtrl, 0x21); }, 1, 0x15, 0x02,
         "camera::getHeadKeys, receive"},
    };
    for (const keysCase& c : cases) {
        c.fault();
        EXPECT_EQ(commands_.getHeadKeys(), c.result) << c.what;
        EXPECT_EQ(status_.headKeys[0], c.key0) << c.what;
        EXPECT_EQ(status_.headKeys[1], c.key1) << c.what;
    }
    EXPECT_EQ(request(0, 3), (std::vector<uint8_t>{0x20, 0x00, 0x00}));
    const auto logged = messages();
    EXPECT_EQ(std::count(logged.begin(), logged.end(), "Head Keys:   15 - 2"), 3);
    for (const keysCase& c : cases) {
        EXPECT_TRUE(c.error == nullptr || contains(logged, c.error)) << c.what;
    }
}

}  // namespace
}  // namespace dravix
