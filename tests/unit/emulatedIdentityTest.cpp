// The emulated camera's identity and control commands through the library's HID channel: the
// reply bytes of the version, serial and hardware revision gets, the control sub-commands, the
// configuration set and get, and the requests the camera refuses.
#include "emu/emulatedIdentity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "device/fx3Hid.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "fileLog.h"

namespace dravix {
namespace {

using namespace std::chrono_literals;
using bytes = std::vector<uint8_t>;

constexpr uint8_t kGetVersion = 0x02;
constexpr uint8_t kGetSerial = 0x03;
constexpr uint8_t kGetHardwareRev = 0x04;
constexpr uint8_t kControl = 0xD0;
constexpr uint8_t kConfigSet = 0xD2;
constexpr uint8_t kConfigGet = 0xD3;
constexpr uint8_t kBadArgument = 2;

class emulatedIdentityTest : public ::testing::Test {
  protected:
    void SetUp() override {
        camera_ = cameras_.camera(1);
        camera_->setReplyLatency(0us);
        hid_ = std::make_unique<fx3Hid>(log_, cameras_.hidBackend());
        ASSERT_TRUE(hid_->open(emu::emulatedCamera::kVendorId, emu::emulatedCamera::kProductId));
    }

    void TearDown() override { hid_.reset(); }

    // The first `replyLength` reply payload bytes of a command the camera must accept.
    bytes call(uint8_t commandId, bytes request, std::size_t replyLength) {
        request.resize(std::max<std::size_t>(request.size(), 1));
        bytes reply(replyLength);
        EXPECT_EQ(hid_->command(commandId, request.data(), static_cast<uint8_t>(request.size()),
                                reply.data(), reply.size()),
                  0);
        return reply;
    }

    // The status byte of a command the camera must refuse.
    uint8_t refusal(uint8_t commandId, const bytes& request) {
        EXPECT_EQ(hid_->command(commandId, request.data(), static_cast<uint8_t>(request.size())),
                  1);
        return hid_->lastStatus();
    }

    emu::emulatedIdentity& identity() { return camera_->identity(); }

    test::fileLog files_{"dravix-identity"};
    logger& log_ = files_.log();
    emu::emulatedCameraSet cameras_{1};
    std::shared_ptr<emu::emulatedCamera> camera_;
    std::unique_ptr<fx3Hid> hid_;
};

TEST_F(emulatedIdentityTest, componentGetsAnswerBigEndianValuesOfTheNamedComponent) {
    identity().setVersion(5, 2, 7, 0x1234, 9, 8, 6, 0xABCD);
    EXPECT_EQ(call(kGetVersion, {5, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 10),
              bytes({5, 2, 7, 0x12, 0x34, 9, 8, 6, 0xAB, 0xCD}));
    // Neighbours keep their own defaults: the index is not off by one.
    EXPECT_EQ(call(kGetVersion, {6}, 10), bytes({6, 1, 6, 0, 16, 3, 6, 7, 0, 106}));
    EXPECT_EQ(call(kGetVersion, {4}, 10), bytes({4, 1, 4, 0, 14, 3, 4, 7, 0, 104}));

    identity().setSerial(11, {0xC1, 0xC2, 0xBE, 0xEF, 0x99});
    EXPECT_EQ(call(kGetSerial, {11, 0, 0, 0, 0}, 5), bytes({11, 0xC1, 0xC2, 0xBE, 0xEF}));
    EXPECT_EQ(identity().serial(11).number, 0xBEEF);
    EXPECT_EQ(identity().serial(11).raw[4], 0x99);

    identity().setHardwareRev(0, 0x01020304);
    EXPECT_EQ(call(kGetHardwareRev, {0, 0, 0, 0, 0}, 5), bytes({0, 1, 2, 3, 4}));
    EXPECT_NE(call(kGetHardwareRev, {1}, 5), bytes({1, 1, 2, 3, 4}));
}

TEST_F(emulatedIdentityTest, componentGetsRefuseComponentsPastTheLast) {
    for (uint8_t command : {kGetVersion, kGetSerial, kGetHardwareRev}) {
        for (uint8_t component : {12, 0x80, 0xFF}) {
            EXPECT_EQ(refusal(command, {component}), kBadArgument)
                << int(command) << " " << int(component);
        }
    }
    EXPECT_THROW(identity().setHardwareRev(12, 1), std::invalid_argument);
    EXPECT_THROW(identity().version(-1), std::invalid_argument);
}

TEST_F(emulatedIdentityTest, controlReportsDefaultsAndSetValues) {
    EXPECT_EQ(call(kControl, {0x01}, 2), bytes({0x01, 3}));
    EXPECT_EQ(call(kControl, {0x10}, 5), bytes({0x10, 0x07, 0x80, 0x04, 0x38}));
    EXPECT_EQ(call(kControl, {0x20}, 3), bytes({0x20, 0, 0}));
    bytes info = call(kControl, {0x02}, 19);
    EXPECT_EQ(info.front(), 0x02);
    EXPECT_EQ(info[1], 1);
    EXPECT_EQ(info[18], 18);

    identity().setUsbSpeed(1);
    identity().setOutputSize(1280, 720);
    identity().setHeadKeys(0x11, 0x22);
    emu::emulatedIdentity::headInfoBytes head{};
    head[17] = 0xEE;
    identity().setHeadInfo(head);
    EXPECT_EQ(call(kControl, {0x01}, 2), bytes({0x01, 1}));
    EXPECT_EQ(call(kControl, {0x10}, 5), bytes({0x10, 0x05, 0x00, 0x02, 0xD0}));
    EXPECT_EQ(call(kControl, {0x20}, 3), bytes({0x20, 0x11, 0x22}));
    EXPECT_EQ(call(kControl, {0x02}, 19).back(), 0xEE);
    EXPECT_THROW(identity().setUsbSpeed(4), std::invalid_argument);
}

TEST_F(emulatedIdentityTest, controlSwitchesAndRebootsAreRecorded) {
    EXPECT_EQ(call(kControl, {0x80, 0}, 1), bytes({0x80}));
    EXPECT_FALSE(identity().headPower());
    EXPECT_EQ(call(kControl, {0x81, 1}, 1), bytes({0x81}));
    EXPECT_TRUE(identity().controllerInterrupts());
    EXPECT_EQ(call(kControl, {0x83, 1}, 1), bytes({0x83}));
    EXPECT_TRUE(identity().headInterrupts());
    call(kControl, {0x83, 0}, 1);
    EXPECT_FALSE(identity().headInterrupts());
    call(kControl, {0x82}, 1);
    EXPECT_EQ(call(kControl, {0x82}, 1), bytes({0x82}));
    EXPECT_EQ(identity().reboots(), 2);

    // A switch value other than 0 or 1 changes nothing.
    EXPECT_EQ(refusal(kControl, {0x80, 2}), kBadArgument);
    EXPECT_EQ(refusal(kControl, {0x81, 0xFF}), kBadArgument);
    EXPECT_FALSE(identity().headPower());
    EXPECT_TRUE(identity().controllerInterrupts());
    for (uint8_t sub : {0x00, 0x03, 0x11, 0x7F, 0x84, 0xFF}) {
        EXPECT_EQ(refusal(kControl, {sub}), kBadArgument) << int(sub);
    }
}

TEST_F(emulatedIdentityTest, configBlocksAreStoredApartAndReadBack) {
    bytes set(33);
    set[0] = 0x82;
    for (std::size_t i = 1; i < set.size(); ++i) {
        set[i] = static_cast<uint8_t>(0xA0 + i);
    }
    EXPECT_EQ(call(kConfigSet, set, 1), bytes({0x82}));
    bytes get(33, 0);
    get[0] = 0x82;
    EXPECT_EQ(call(kConfigGet, get, 33), set);
    EXPECT_EQ(identity().configBlock(0x82)[31], 0xA0 + 32);
    EXPECT_EQ(identity().configBlock(0x81), emu::emulatedIdentity::configBytes{});

    identity().setConfigBlock(0x81, {7, 8, 9});
    EXPECT_EQ(call(kConfigGet, {0x81}, 4), bytes({0x81, 7, 8, 9}));
    EXPECT_THROW(identity().configBlock(0x83), std::invalid_argument);
}

TEST_F(emulatedIdentityTest, configSetsSerialsAndRevisionsOfMappedComponents) {
    // Sub-type pairs 0x01/0x02 .. 0x0B/0x0C address components 0, 3, 8, 5, 6, 7.
    EXPECT_EQ(call(kConfigSet, {0x05, 0x51, 0x52, 0x12, 0x34, 0x77}, 1), bytes({0x05}));
    EXPECT_EQ(call(kGetSerial, {8}, 5), bytes({8, 0x51, 0x52, 0x12, 0x34}));
    EXPECT_EQ(identity().serial(8).raw, (std::array<uint8_t, 5>{0x51, 0x52, 0x12, 0x34, 0x77}));
    EXPECT_NE(identity().serial(4).s0, 0x51);

    EXPECT_EQ(call(kConfigSet, {0x0C, 0xDE, 0xAD, 0xBE, 0xEF}, 1), bytes({0x0C}));
    EXPECT_EQ(call(kGetHardwareRev, {7}, 5), bytes({7, 0xDE, 0xAD, 0xBE, 0xEF}));
    call(kConfigSet, {0x07, 1, 2, 3, 4, 5}, 1);
    EXPECT_EQ(identity().serial(5).number, 0x0304);
    call(kConfigSet, {0x02, 0, 0, 0, 9}, 1);
    EXPECT_EQ(identity().hardwareRev(0), 9u);
}

TEST_F(emulatedIdentityTest, configRefusesUnknownSubTypesAndChangesNothing) {
    const emu::emulatedIdentity::serialInfo before = identity().serial(0);
    for (uint8_t sub : {0x00, 0x0D, 0x10, 0x80, 0x83, 0xFF}) {
        EXPECT_EQ(refusal(kConfigSet, {sub, 1, 2, 3, 4, 5}), kBadArgument) << int(sub);
    }
    for (uint8_t sub : {0x00, 0x01, 0x02, 0x80, 0x83}) {
        EXPECT_EQ(refusal(kConfigGet, {sub}), kBadArgument) << int(sub);
    }
    EXPECT_EQ(identity().serial(0).raw, before.raw);
    EXPECT_EQ(identity().configBlock(0x81), emu::emulatedIdentity::configBytes{});
}

}  // namespace
}  // namespace dravix
