// The DSP function protocol through a real HID channel to the emulated camera: chunking on the
// wire, replies for another function, failed chunks, a missing channel, the calibration and save
// commands, the flip byte, and the camera's DSP store.
#include "dsp/cameraDsp.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"
#include "emu/emulatedDspFunctions.h"
#include "fileLog.h"

namespace dravix {
namespace {

using namespace std::chrono_literals;
using emu::commandPayload;
using emu::commandReply;
using emu::wireKind;
using emu::wireRecord;

constexpr uint8_t kDpcTable = dspCode(DspFunction::DpcTable);
constexpr uint8_t kHvFlip = dspCode(DspFunction::HvFlip);
constexpr uint8_t kBadArgument = 2;

std::vector<uint8_t> pattern(std::size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 3);
    }
    return bytes;
}

class cameraDspTest : public ::testing::Test {
  protected:
    void SetUp() override {
        camera_ = cameras_.camera(1);
        camera_->setReplyLatency(0us);
        hid_ = std::make_shared<fx3Hid>(log_, cameras_.hidBackend());
        ASSERT_TRUE(hid_->open(emu::emulatedCamera::kVendorId, emu::emulatedCamera::kProductId));
        dsp_.setHid(hid_);
        camera_->startRecording();
    }

    void TearDown() override {
        dsp_.setHid(nullptr);
        hid_.reset();
    }

    // The messages logged so far; ends the log session, so call it once, at the end.
    std::vector<std::string> loggedMessages() {
        dsp_.setHid(nullptr);
        hid_.reset();
        return files_.messages();
    }

    static bool logged(const std::vector<std::string>& messages, const std::string& text) {
        return std::count(messages.begin(), messages.end(), text) == 1;
    }

    // The command reports the camera received.
    std::vector<std::vector<uint8_t>> requests() const {
        std::vector<std::vector<uint8_t>> result;
        for (const wireRecord& record : camera_->recorded()) {
            if (record.kind == wireKind::output) {
                result.push_back(record.bytes);
            }
        }
        return result;
    }

    // Answers every DSP command `commandId` as if it were for function `echo`.
    void answerForFunction(uint8_t commandId, uint8_t echo) {
        camera_->setCommandHandler(commandId, [echo](const commandPayload&) {
            commandReply reply;
            reply.payload.fill(0x5A);
            reply.payload[0] = echo;
            return reply;
        });
    }

    test::fileLog files_{"dravix-dsp"};
    logger& log_ = files_.log();
    emu::emulatedCameraSet cameras_{1};
    std::shared_ptr<emu::emulatedCamera> camera_;
    std::shared_ptr<fx3Hid> hid_;
    cameraDsp dsp_{log_};
};

TEST(dspFunctionTable, listsEachCodeOnceWithTheLongBlocksAndOneWaySizes) {
    for (std::size_t i = 0; i < kDspFunctions.size(); ++i) {
        EXPECT_EQ(findDspFunction(dspCode(kDspFunctions[i].function)), &kDspFunctions[i]);
    }
    EXPECT_EQ(findDspFunction(0x11), nullptr);
    EXPECT_EQ(findDspFunction(0x1D), nullptr);
    EXPECT_EQ(findDspFunction(0x31), nullptr);
    EXPECT_EQ(findDspFunction(kDpcTable)->readBytes, 64);
    EXPECT_EQ(findDspFunction(dspCode(DspFunction::WindowSizes))->writeBytes, 33);
    EXPECT_EQ(findDspFunction(dspCode(DspFunction::ucConfig))->writeBytes, 5);
    EXPECT_EQ(findDspFunction(dspCode(DspFunction::ToggleState))->writeBytes, 0);
    EXPECT_EQ(findDspFunction(dspCode(DspFunction::WbPush))->readBytes, 0);
}

// The emulated camera keeps its own list of the sizes; the two must agree entry by entry.
TEST(dspFunctionTable, agreesWithTheCamerasOwnList) {
    ASSERT_EQ(kDspFunctions.size(), emu::kEmulatedDspFunctions.size());
    for (std::size_t i = 0; i < kDspFunctions.size(); ++i) {
        const dspFunctionSizes& library = kDspFunctions[i];
        const emu::emulatedDspFunction& device = emu::kEmulatedDspFunctions[i];
        SCOPED_TRACE(testing::Message() << "function 0x" << std::hex << int(device.code));
        EXPECT_EQ(dspCode(library.function), device.code);
        EXPECT_EQ(library.readBytes, device.answeredBytes);
        EXPECT_EQ(library.writeBytes, device.acceptedBytes);
    }
}

TEST_F(cameraDspTest, zeroOrNegativeLengthSendsNothing) {
    uint8_t buffer[4] = {1, 2, 3, 4};
    for (int16_t length : {int16_t{0}, int16_t{-1}, int16_t{-32768}}) {
        EXPECT_EQ(dsp_.getDspFunction(kHvFlip, buffer, length), 0);
        EXPECT_EQ(dsp_.setDspFunction(kHvFlip, buffer, length), 0);
    }
    EXPECT_EQ(dsp_.getDspFunction(kHvFlip, nullptr, 0), 0);
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[3], 4);
}

TEST_F(cameraDspTest, readsInChunksOfSixtyFromRisingOffsets) {
    const auto table = pattern(64, 7);
    camera_->dsp().setDspBlock(kDpcTable, table);
    std::vector<uint8_t> out(64);
    ASSERT_EQ(dsp_.getDspFunction(kDpcTable, out.data(), 64), 0);
    EXPECT_EQ(out, table);

    const auto sent = requests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(std::vector<uint8_t>(sent[0].begin(), sent[0].begin() + 6),
              (std::vector<uint8_t>{1, 0x20, kDpcTable, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(sent[1].begin(), sent[1].begin() + 6),
              (std::vector<uint8_t>{1, 0x20, kDpcTable, 0, 60, 0}));

    // A block that fits one reply is one exchange.
    const auto keys = pattern(50, 1);
    camera_->dsp().setDspBlock(dspCode(DspFunction::KeySetting), keys);
    std::vector<uint8_t> keyOut(50);
    ASSERT_EQ(dsp_.getDspFunction(dspCode(DspFunction::KeySetting), keyOut.data(), 50), 0);
    EXPECT_EQ(keyOut, keys);
    EXPECT_EQ(requests().size(), 3u);
}

TEST_F(cameraDspTest, writesInChunksOfFiftyNine) {
    const auto table = pattern(64, 11);
    ASSERT_EQ(dsp_.setDspFunction(kDpcTable, table.data(), 64), 0);
    EXPECT_EQ(camera_->dsp().dspBlock(kDpcTable), table);

    const auto sent = requests();
    ASSERT_EQ(sent.size(), 2u);
    std::vector<uint8_t> first{1, 0x21, kDpcTable, 0, 0};
    first.insert(first.end(), table.begin(), table.begin() + 59);
    EXPECT_EQ(sent[0], first);
    std::vector<uint8_t> second(64, 0);
    second[0] = 1;
    second[1] = 0x21;
    second[2] = kDpcTable;
    second[4] = 59;
    std::copy(table.begin() + 59, table.end(), second.begin() + 5);
    EXPECT_EQ(sent[1], second);
}

TEST_F(cameraDspTest, replyForAnotherFunctionKeepsTheBufferAndTheStatus) {
    answerForFunction(0x20, 0x07);
    answerForFunction(0x21, 0x2F);
    std::vector<uint8_t> out(64, 0xAA);
    EXPECT_EQ(dsp_.getDspFunction(kDpcTable, out.data(), 64), 0);
    EXPECT_EQ(out, std::vector<uint8_t>(64, 0xAA));
    const uint8_t flip = 1;
    EXPECT_EQ(dsp_.setDspFunction(kHvFlip, &flip, 1), 0);

    const auto messages = loggedMessages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(),
                         "cameraDsp::getDspFunction: conflicting type (predicted: 0x29, actual: "
                         "0x07)"),
              2);
    EXPECT_TRUE(logged(
        messages, "cameraDsp::setDspFunction: conflicting type (predicted: 0x1E, actual: 0x2F)"));
}

TEST_F(cameraDspTest, readWhoseFirstChunkTimesOutFailsWithAZeroedBuffer) {
    camera_->dsp().setDspBlock(kHvFlip, {0x03});
    camera_->queueNoReply();
    uint8_t out[3] = {0xAA, 0xAA, 0xAA};
    EXPECT_EQ(dsp_.getDspFunction(kHvFlip, out, 3), 1);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], 0);
    EXPECT_TRUE(logged(loggedMessages(), "cameraDsp::getDspFunction"));
}

TEST_F(cameraDspTest, failedFirstChunkStillSendsTheRestAndFailsTheWhole) {
    const auto table = pattern(64, 3);
    camera_->dsp().setDspBlock(kDpcTable, table);
    camera_->queueReplyStatus(kBadArgument);
    std::vector<uint8_t> out(64, 0xAA);
    EXPECT_EQ(dsp_.getDspFunction(kDpcTable, out.data(), 64), 1);
    EXPECT_EQ(std::count(out.begin(), out.begin() + 60, 0), 60);
    EXPECT_TRUE(std::equal(out.begin() + 60, out.end(), table.begin() + 60));

    camera_->queueReplyStatus(kBadArgument);
    const auto written = pattern(64, 9);
    EXPECT_EQ(dsp_.setDspFunction(kDpcTable, written.data(), 64), 1);
    EXPECT_EQ(requests().size(), 4u);

    const auto messages = loggedMessages();
    EXPECT_TRUE(logged(messages, "cameraDsp::getDspFunction"));
    EXPECT_TRUE(logged(messages, "cameraDsp::setDspFunction"));
}

TEST_F(cameraDspTest, withoutAChannelNothingIsSent) {
    dsp_.setHid(nullptr);
    uint8_t value = 1;
    EXPECT_EQ(dsp_.getDspFunction(kHvFlip, &value, 1), 1);
    EXPECT_EQ(dsp_.setDspFunction(kHvFlip, &value, 1), 1);
    EXPECT_EQ(dsp_.setHidCalibration(1, 2), 1);
    EXPECT_EQ(dsp_.saveDspSettings(), 1);
    EXPECT_EQ(dsp_.setHvFlip(1, 1), 1);
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(value, 1);

    const auto messages = loggedMessages();
    EXPECT_TRUE(logged(messages, "cameraDsp::getDspFunction: HID not initialized"));
    EXPECT_TRUE(logged(messages, "cameraDsp::setHidCalibration: HID not initialized"));
    EXPECT_EQ(std::count(messages.begin(), messages.end(),
                         "cameraDsp::setDspFunction: HID not initialized"),
              2);
}

TEST_F(cameraDspTest, nullBufferWithBytesIsRefused) {
    EXPECT_EQ(dsp_.getDspFunction(kHvFlip, nullptr, 1), 1);
    EXPECT_EQ(dsp_.setDspFunction(kHvFlip, nullptr, 1), 1);
    EXPECT_TRUE(requests().empty());
}

TEST_F(cameraDspTest, calibrationAndSaveOnTheWire) {
    EXPECT_EQ(dsp_.setHidCalibration(3, 0x40), 0);
    EXPECT_EQ(dsp_.saveDspSettings(), 0);
    EXPECT_EQ(camera_->dsp().lastCalibration(), std::make_pair(uint8_t{3}, uint8_t{0x40}));
    EXPECT_EQ(camera_->dsp().saveCount(), 1);
    const auto sent = requests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(std::vector<uint8_t>(sent[0].begin(), sent[0].begin() + 5),
              (std::vector<uint8_t>{1, 0x23, 3, 0x40, 0}));
    EXPECT_EQ(std::vector<uint8_t>(sent[1].begin(), sent[1].begin() + 3),
              (std::vector<uint8_t>{1, 0x22, 0}));

    camera_->queueReplyStatus(kBadArgument);
    EXPECT_EQ(dsp_.setHidCalibration(1, 1), 1);
    camera_->queueReplyStatus(kBadArgument);
    EXPECT_EQ(dsp_.saveDspSettings(), 1);
    const auto messages = loggedMessages();
    EXPECT_TRUE(logged(messages, "cameraDsp::setHidCalibration"));
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const std::string& m) { return m.rfind("cameraDsp::", 0) == 0; }),
              1);
}

TEST_F(cameraDspTest, flipWriteTurnsTheVideoUpsideDown) {
    ASSERT_FALSE(camera_->verticalFlip());
    EXPECT_EQ(dsp_.setHvFlip(1, 1), 0);
    EXPECT_EQ(camera_->dsp().dspBlock(kHvFlip), std::vector<uint8_t>{0x03});
    EXPECT_TRUE(camera_->verticalFlip());

    EXPECT_EQ(dsp_.setHvFlipByte(0x0E), 0);
    EXPECT_EQ(camera_->dsp().dspBlock(kHvFlip), std::vector<uint8_t>{0x0E});
    EXPECT_FALSE(camera_->verticalFlip());

    // Flags other than 1 still set only their own bit.
    EXPECT_EQ(dsp_.setHvFlip(0, 2), 0);
    EXPECT_EQ(camera_->dsp().dspBlock(kHvFlip), std::vector<uint8_t>{0x01});
    EXPECT_TRUE(camera_->verticalFlip());
}

TEST_F(cameraDspTest, cameraKeepsTheLongerWriteSizeAndRefusesWrongDirections) {
    const auto sizes = pattern(33, 20);
    ASSERT_EQ(dsp_.setDspFunction(dspCode(DspFunction::WindowSizes), sizes.data(), 33), 0);
    EXPECT_EQ(camera_->dsp().dspBlock(dspCode(DspFunction::WindowSizes)), sizes);
    std::vector<uint8_t> out(32);
    ASSERT_EQ(dsp_.getDspFunction(dspCode(DspFunction::WindowSizes), out.data(), 32), 0);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), sizes.begin()));

    uint8_t value = 1;
    uint8_t pair[2] = {1, 2};
    EXPECT_EQ(dsp_.getDspFunction(dspCode(DspFunction::WbPush), &value, 1), 1);
    EXPECT_EQ(dsp_.setDspFunction(dspCode(DspFunction::ToggleState), pair, 2), 1);
    EXPECT_EQ(dsp_.getDspFunction(0x11, &value, 1), 1);
    EXPECT_EQ(dsp_.setDspFunction(0x11, &value, 1), 1);
    // The second chunk starts past the one-byte flip block.
    std::vector<uint8_t> tooLong(61, 0xAA);
    EXPECT_EQ(dsp_.getDspFunction(kHvFlip, tooLong.data(), 61), 1);
    EXPECT_EQ(tooLong[60], 0);

    EXPECT_THROW(camera_->dsp().setDspBlock(kHvFlip, {1, 2}), std::invalid_argument);
    EXPECT_THROW(camera_->dsp().dspBlock(0x11), std::invalid_argument);
}

TEST_F(cameraDspTest, threadsSharingTheChannelGetTheirOwnBlocks) {
    const auto table = pattern(64, 5);
    const auto keys = pattern(50, 200);
    camera_->dsp().setDspBlock(kDpcTable, table);
    camera_->dsp().setDspBlock(dspCode(DspFunction::KeySetting), keys);
    auto reader = [this](uint8_t code, const std::vector<uint8_t>& expected) {
        std::vector<uint8_t> out(expected.size());
        for (int i = 0; i < 50; ++i) {
            const auto length = static_cast<int16_t>(out.size());
            EXPECT_EQ(dsp_.getDspFunction(code, out.data(), length), 0);
            EXPECT_EQ(out, expected);
        }
    };
    camera_->stopRecording();
    std::thread other(reader, dspCode(DspFunction::KeySetting), keys);
    reader(kDpcTable, table);
    other.join();
    const auto messages = loggedMessages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const std::string& m) { return m.rfind("cameraDsp::", 0) == 0; }),
              0);
}

}  // namespace
}  // namespace dravix
