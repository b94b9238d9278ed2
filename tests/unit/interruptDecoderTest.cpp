// The decoding of status interrupts against the emulated camera: the event names of each source,
// the commands each event sends, the white-balance rules, the head keys and their nibbles, the
// skip bit, and handling that gives up once the thread is asked to stop.
#include "device/interruptDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "emu/emulatedInterrupts.h"
#include "fileLog.h"

namespace dravix {
namespace {

using namespace std::chrono_literals;
using emu::wireKind;
// A command as the camera received it: its id and its first payload byte.
using sentCommand = std::pair<uint8_t, uint8_t>;
using commandList = std::vector<sentCommand>;

commandList operator+(commandList first, const commandList& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

const commandList kControllerSet{{0x02, 0}, {0x02, 1}, {0xD0, 0x01}};
const commandList kOutputSize{{0xD0, 0x10}};
const commandList kFullControllerSet = commandList{{0x02, 0},  {0x02, 1},    {0x02, 8}, {0x02, 9},
                                                   {0x02, 11}, {0xD0, 0x01}, {0x03, 0}, {0x04, 0}} +
                                       kOutputSize;
const commandList kHeadSet{{0x02, 3}, {0x02, 4}, {0x02, 5}, {0xD0, 0x02},
                           {0x03, 3}, {0x03, 5}, {0x04, 3}};
const commandList kRecorderSet{{0x02, 8}, {0x02, 9}, {0x02, 11}};
const commandList kHeadKeys{{0xD0, 0x20}};

class interruptDecoderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        camera_ = cameras_.camera(1);
        camera_->setReplyLatency(0us);
        ASSERT_TRUE(hid_->open(emu::emulatedCamera::kVendorId, emu::emulatedCamera::kProductId));
    }

    // Decodes one interrupt with the camera's wire recorded; the commands it sent.
    commandList decode(uint8_t source, uint32_t mask) {
        camera_->clearRecording();
        camera_->startRecording();
        decoder_.decode(emu::emulatedInterrupts::statusData(source, mask));
        camera_->stopRecording();
        commandList sent;
        for (const emu::wireRecord& record : camera_->recorded()) {
            if (record.kind == wireKind::output) {
                sent.emplace_back(record.bytes[1], record.bytes[2]);
            }
        }
        return sent;
    }

    // The messages logged so far; ends the log session, so call it once, at the end.
    std::vector<std::string> messages() {
        hid_->close();
        return files_.messages();
    }
    static bool contains(const std::vector<std::string>& texts, const std::string& text) {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }

    static int onWbDone(void* user) {
        ++*static_cast<int*>(user);
        return 0;
    }

    test::fileLog files_{"dravix-interrupts"};
    emu::emulatedCameraSet cameras_{1};
    std::shared_ptr<emu::emulatedCamera> camera_;
    std::shared_ptr<fx3Hid> hid_ = std::make_shared<fx3Hid>(files_.log(), cameras_.hidBackend());
    DeviceStatus status_{};
    std::recursive_mutex statusMutex_;
    deviceCommands commands_{files_.log(), [this] { return hid_; }, status_, statusMutex_};
    identityRefresh refresh_{files_.log(), commands_};
    wbPushRegistration wbPush_;
    std::atomic<bool> stop_{false};
    int reports_ = 0;
    // What the status callback saw of the head-key bytes.
    uint8_t keysSeen_[2] = {};
    std::function<void()> onReport_;
    interruptDecoder decoder_{files_.log(),
                              commands_,
                              refresh_,
                              wbPush_,
                              [this] { return stop_.load(); },
                              [this] {
                                  ++reports_;
                                  std::copy_n(status_.headKeys, 2, keysSeen_);
                                  if (onReport_) {
                                      onReport_();
                                  }
                              }};
};

// Every source's bits: the names logged, the commands sent, the white-balance callback and the
// saved-settings flag. Bit 15 skips all but the FPGA's actions; the status is reported each time.
TEST_F(interruptDecoderTest, eachSourcesBitsNameTheirEventsAndRunTheirActions) {
    struct decodeCase {
        uint8_t source;
        uint32_t mask;
        const char* type;
        const char* events;
        commandList sent;
        int wbCalls;
        bool wbKept;
        uint8_t eepromSaved;
    };
    const decodeCase cases[] = {
        {0, 0x00C4, "FPGA", "INTR_BOOTED, INTR_WB_DONE, INTR_DIMENSION",
         kControllerSet + kOutputSize, 1, true, 0},
        {0, 0x80C4, "FPGA", "INTR_BOOTED, INTR_WB_DONE, INTR_DIMENSION, INTR_PERI",
         kControllerSet + kOutputSize, 1, true, 0},
        {0,
         0xFF3B,
         "FPGA",
         "INTR_HEAD, INTR_HDMI, INTR_HEAD_DETECT, INTR_HEAD_ERROR, INTR_DECODE_FINISH, "
         "INTR_DECODE_CRC_ERR, INTR_DECODE_TIMEOUT, INTR_DPC_DONE, INTR_FIBER_MEAS, "
         "INTR_FMB_NO_FRM, INTR_FMB_FRM, INTR_USR_CTRL, INTR_PERI",
         {},
         0,
         true,
         0},
        {0, 0, "FPGA", "", {}, 0, true, 0},
        {1, 0x0001, "HEAD", "INFO_BOOTED", kHeadSet, 0, true, 0},
        {1, 0x0004, "HEAD", "INFO_KeyPressed", kHeadKeys, 0, true, 0},
        {1, 0x0020, "HEAD", "INFO_WBDone", {}, 1, false, 0},
        {1, 0x0FFF, "HEAD",
         "INFO_BOOTED, INFO_InitDone, INFO_KeyPressed, INFO_WBStart, INFO_WBRequest, "
         "INFO_WBDone, INFO_WINDOW, INFO_SPIEEP_READY, INFO_SPIEEP_BUSY, INFO_SENSORCONNECTED, "
         "INFO_NOSENSOR, INFO_DOWNSTREAM_CAL",
         kHeadSet + kHeadKeys, 1, false, 0},
        {1, 0x8025, "HEAD", "INFO_BOOTED, INFO_KeyPressed, INFO_WBDone", {}, 0, true, 0},
        {1, 0xFFFF0000, "HEAD", "", {}, 0, true, 0},
        {2, 0x0001, "FX3", "INTR_FX3_APP_STARTED", kFullControllerSet, 0, true, 0},
        {2, 0x0002, "FX3", "INTR_FX3_HEAD_CONNECTED", kHeadSet + kOutputSize, 0, true, 0},
        {2, 0x0004, "FX3", "INTR_FX3_SAVE_EEP_FINISH", {}, 0, true, 1},
        {2, 0x0010, "FX3", "INTR_FX3_WB_DONE", {}, 1, false, 0},
        {2, 0x001F, "FX3",
         "INTR_FX3_APP_STARTED, INTR_FX3_HEAD_CONNECTED, INTR_FX3_SAVE_EEP_FINISH, "
         "INTR_FX3_FLIP, INTR_FX3_WB_DONE",
         kFullControllerSet + kHeadSet + kOutputSize, 1, false, 1},
        {2,
         0x8017,
         "FX3",
         "INTR_FX3_APP_STARTED, INTR_FX3_HEAD_CONNECTED, INTR_FX3_SAVE_EEP_FINISH, "
         "INTR_FX3_WB_DONE",
         {},
         0,
         true,
         0},
        {3, 0xFFFFFFFF, "DRIVER", "", {}, 0, true, 0},
        {4, 0x0001, "REC", "INTR_REC_BOOTED", kRecorderSet, 0, true, 0},
        {4, 0x003F, "REC",
         "INTR_REC_BOOTED, INTR_REC_STARTED, INTR_REC_STOPPED, INTR_REC_CAPTURED, "
         "INTR_REC_USB_AVAIL, INTR_REC_NO_USB",
         kRecorderSet, 0, true, 0},
        {4,
         0x803F,
         "REC",
         "INTR_REC_BOOTED, INTR_REC_STARTED, INTR_REC_STOPPED, INTR_REC_CAPTURED, "
         "INTR_REC_USB_AVAIL, INTR_REC_NO_USB",
         {},
         0,
         true,
         0},
        {5, 0x0004, "UNKOWN", "", {}, 0, true, 0},
        {7, 0x0001, "UNKOWN", "", {}, 0, true, 0},
        {255, 0xFFFFFFFF, "UNKOWN", "", {}, 0, true, 0},
    };
    for (const decodeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.source) << " 0x" << std::hex << c.mask);
        int wbCalls = 0;
        wbPush_.store(&onWbDone, &wbCalls);
        status_.eepromSaved = 0;
        const int reportsBefore = reports_;
        EXPECT_EQ(decode(c.source, c.mask), c.sent);
        EXPECT_STREQ(interruptDecoder::typeName(c.source), c.type);
        EXPECT_EQ(interruptDecoder::eventText(c.source, c.mask), c.events);
        EXPECT_EQ(wbCalls, c.wbCalls);
        EXPECT_EQ(wbPush_.isRegistered(), c.wbKept);
        EXPECT_EQ(status_.eepromSaved, c.eepromSaved);
        EXPECT_EQ(reports_, reportsBefore + 1);
    }
    const auto logged = messages();
    EXPECT_TRUE(contains(logged, "Interrupt, type: FPGA (0)"));
    EXPECT_TRUE(contains(logged, "0xC4: status: INTR_BOOTED, INTR_WB_DONE, INTR_DIMENSION "));
    EXPECT_TRUE(contains(logged, "Interrupt, type: UNKOWN (7)"));
    EXPECT_TRUE(contains(logged, "0x1: status:  "));
    EXPECT_EQ(std::count(logged.begin(), logged.end(), "Recording started"), 1);
    for (const char* line : {"Recording stopped", "Rec, Frame Captured", "Rec, USB Drive connected",
                             "Rec, USB Drive removed"}) {
        EXPECT_TRUE(contains(logged, line)) << line;
    }
}

// The head keys as the status callback sees them, and after it: only the high nibbles stay, with
// or without a callback; a failed read or a wrong echo keeps the stored bytes and still logs them.
TEST_F(interruptDecoderTest, headKeysReachTheCallbackAndKeepOnlyTheirHighNibbles) {
    struct keysCase {
        const char* what;
        std::function<void()> fault;
        uint8_t seen0, seen1;
        uint8_t after0, after1;
    };
    const keysCase cases[] = {
        {"good read", [] {}, 0x15, 0x02, 0x10, 0x00},
        {"failed read", [this] { camera_->queueReplyStatus(3); }, 0x10, 0x00, 0x10, 0x00},
        {"wrong echo",
         [this] {
             camera_->setCommandHandler(0xD0, [](const emu::commandPayload&) {
                 emu::commandReply reply;
                 reply.payload[0] = 0x21;
                 return reply;
             });
         },
         0x10, 0x00, 0x10, 0x00},
    };
    camera_->identity().setHeadKeys(0x15, 0x02);
    for (const keysCase& c : cases) {
        c.fault();
        decode(1, 0x0004);
        EXPECT_EQ(keysSeen_[0], c.seen0) << c.what;
        EXPECT_EQ(keysSeen_[1], c.seen1) << c.what;
        EXPECT_EQ(status_.headKeys[0], c.after0) << c.what;
        EXPECT_EQ(status_.headKeys[1], c.after1) << c.what;
    }
    // Nothing but the record's nibbles to clear: an interrupt with no key event clears them too.
    status_.headKeys[0] = 0x3C;
    status_.headKeys[1] = 0xA5;
    decode(3, 0);
    EXPECT_EQ(status_.headKeys[0], 0x30);
    EXPECT_EQ(status_.headKeys[1], 0xA0);
    const auto logged = messages();
    EXPECT_EQ(std::count(logged.begin(), logged.end(), "Head Keys:   15 - 2"), 1);
    EXPECT_EQ(std::count(logged.begin(), logged.end(), "Head Keys:   10 - 0"), 2);
}

// A callback registered again from inside the one-shot call stays registered.
TEST_F(interruptDecoderTest, aWhiteBalanceCallbackRegisteredFromItsOwnCallSurvives) {
    struct context {
        wbPushRegistration* registration;
        int calls = 0;
    } seen{&wbPush_};
    const WbPushCallback rearm = [](void* user) {
        auto* c = static_cast<context*>(user);
        ++c->calls;
        c->registration->store(&onWbDone, &c->calls);
        return 0;
    };
    for (const auto& [source, mask] : {std::pair<uint8_t, uint32_t>{1, 0x20}, {2, 0x10}}) {
        wbPush_.store(rearm, &seen);
        decode(source, mask);
        EXPECT_TRUE(wbPush_.isRegistered());
        decode(source, mask);  // the callback it registered, once
        EXPECT_FALSE(wbPush_.isRegistered());
    }
    EXPECT_EQ(seen.calls, 4);
}

// Asked to stop inside a refresh set, the handling sends no further command and reports nothing.
TEST_F(interruptDecoderTest, handlingGivesUpBetweenCommandsOnceAskedToStop) {
    struct stopCase {
        uint8_t source;
        uint32_t mask;
        std::size_t stopAfter;  // commands answered before the stop is asked
    };
    const stopCase cases[] = {
        {0, 0x0084, 1}, {0, 0x0084, 3}, {1, 0x0005, 2}, {1, 0x0005, 7},
        {2, 0x0001, 4}, {2, 0x0002, 7}, {4, 0x0001, 1},
    };
    for (const stopCase& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.source) << " 0x" << std::hex << c.mask);
        std::size_t answered = 0;
        camera_->setCommandHandler(0x02, [&](const emu::commandPayload& payload) {
            stop_ = ++answered >= c.stopAfter;
            return camera_->identity().getVersion(payload);
        });
        camera_->setCommandHandler(0xD0, [&](const emu::commandPayload& payload) {
            stop_ = ++answered >= c.stopAfter;
            return camera_->identity().control(payload);
        });
        camera_->setCommandHandler(0x03, [&](const emu::commandPayload& payload) {
            stop_ = ++answered >= c.stopAfter;
            return camera_->identity().getSerial(payload);
        });
        camera_->setCommandHandler(0x04, [&](const emu::commandPayload& payload) {
            stop_ = ++answered >= c.stopAfter;
            return camera_->identity().getHardwareRev(payload);
        });
        stop_ = false;
        const int reportsBefore = reports_;
        EXPECT_EQ(decode(c.source, c.mask).size(), c.stopAfter);
        EXPECT_EQ(reports_, reportsBefore);
    }
}

}  // namespace
}  // namespace dravix
