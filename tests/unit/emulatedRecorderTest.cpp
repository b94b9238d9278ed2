// The emulated recorder unit on its own: which requests it takes, what they set, and the
// interrupts it sends.
#include "emu/emulatedRecorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace dravix::emu {
namespace {

using namespace std::chrono_literals;
using bytes = std::vector<uint8_t>;

struct sentInterrupt {
    uint8_t type;
    uint8_t source;
    uint32_t mask;
    std::chrono::milliseconds delay;
};

commandPayload payloadOf(const bytes& request) {
    commandPayload payload{};
    std::copy(request.begin(), request.end(), payload.begin());
    return payload;
}

// `text` framed as the host frames it: "EOC" and zero bytes up to a multiple of 4.
bytes framed(const std::string& text, std::size_t count) {
    const std::string frame = text + "EOC";
    bytes request(2 + std::max(count, frame.size()), 0);
    request[0] = 0x44;
    request[1] = static_cast<uint8_t>(count);
    std::copy(frame.begin(), frame.end(), request.begin() + 2);
    request.resize(2 + count);
    return request;
}

class emulatedRecorderTest : public ::testing::Test {
  protected:
    uint8_t send(const bytes& request) { return recorder.handle(payloadOf(request)).status; }

    std::vector<sentInterrupt> sent;
    emulatedRecorder recorder{[this](uint8_t type, const emulatedRecorder::interruptData& data,
                                     std::chrono::milliseconds delay) {
        const uint32_t mask =
            static_cast<uint32_t>(data[1]) << 24 | data[2] << 16 | data[3] << 8 | data[4];
        sent.push_back({type, data[0], mask, delay});
    }};
};

TEST_F(emulatedRecorderTest, malformedRequestsAreRefusedAndChangeNothing) {
    bytes badPadding = framed("ab", 8);
    badPadding[9] = 1;
    bytes zeroInText = framed("ab", 8);
    zeroInText[3] = 0;
    const std::vector<std::pair<std::string, bytes>> cases = {
        {"unknown code", {0x04, 1, 0}},
        {"unknown code 0x4A", {0x4A, 1, 0}},
        {"count 0", {0x01, 0}},
        {"count 2", {0x01, 2, 0, 0}},
        {"plain function with a non-zero byte", {0x02, 1, 1}},
        {"date of 3 bytes", {0x43, 3, 1, 2, 3}},
        {"debug mode without its byte", {0x45, 0}},
        {"text without marker", {0x44, 4, 'a', 'b', 'c', 0}},
        {"marker without zero after it", {0x44, 4, 'a', 'E', 'O', 'C'}},
        {"count not the smallest multiple of 4", framed("ab", 12)},
        {"count not a multiple of 4", framed("ab", 7)},
        {"non-zero padding", badPadding},
        {"zero inside the text", zeroInText},
        {"57 characters cut to 60 bytes", framed(std::string(57, 'x'), 60)},
        {"count past the report", {0x44, 64}},
    };
    for (const auto& [name, request] : cases) {
        EXPECT_EQ(send(request), replyStatus::badArgument) << name;
        EXPECT_EQ(recorder.calls(request[0]), 0u) << name;
    }
    EXPECT_EQ(recorder.current().lastCode, 0);
}

TEST_F(emulatedRecorderTest, wellFormedRequestsSetTheRecorderState) {
    EXPECT_EQ(send({0x01, 1, 0}), replyStatus::success);
    EXPECT_TRUE(recorder.current().recording);
    EXPECT_EQ(send({0x03, 1, 0}), replyStatus::success);
    EXPECT_EQ(send({0x03, 1, 0}), replyStatus::success);
    EXPECT_EQ(send({0x02, 1, 0}), replyStatus::success);
    EXPECT_EQ(send({0x43, 4, 0x12, 0x34, 0x56, 0x78}), replyStatus::success);
    EXPECT_EQ(send({0x45, 1, 0xFF}), replyStatus::success);
    EXPECT_EQ(send(framed("xEOCy", 12)), replyStatus::success);
    EXPECT_EQ(send(framed("", 4)), replyStatus::success);
    EXPECT_EQ(send(framed(std::string(56, 'z'), 60)), replyStatus::success);

    const emulatedRecorder::state state = recorder.current();
    EXPECT_FALSE(state.recording);
    EXPECT_EQ(state.captures, 2u);
    EXPECT_EQ(state.date, 0x12345678u);
    EXPECT_EQ(state.debugMode, 0xFF);
    EXPECT_EQ(state.command, std::string(56, 'z'));
    EXPECT_EQ(state.lastCode, 0x44);
    EXPECT_EQ(recorder.calls(0x44), 3u);

    EXPECT_EQ(send({0x01, 1, 0}), replyStatus::success);
    EXPECT_EQ(send({0x41, 1, 0}), replyStatus::success);
    EXPECT_FALSE(recorder.current().recording);  // a reboot ends a recording
    EXPECT_EQ(recorder.current().reboots, 1u);
}

TEST_F(emulatedRecorderTest, anAbsentRecorderImplementsNothing) {
    recorder.setFitted(false);
    EXPECT_EQ(send({0x01, 1, 0}), replyStatus::notImplemented);
    EXPECT_EQ(send({0x04, 1, 0}), replyStatus::notImplemented);
    recorder.setDriveConnected(false);
    EXPECT_FALSE(recorder.current().recording);
    EXPECT_TRUE(sent.empty());
}

TEST_F(emulatedRecorderTest, itsInterruptsReportWhatItDid) {
    recorder.setBootTime(70ms);
    struct eventCase {
        bytes request;
        uint32_t mask;  // 0: no interrupt
        std::chrono::milliseconds delay;
    };
    const std::vector<eventCase> cases = {
        {{0x01, 1, 0}, 1u << 1, 0ms}, {{0x03, 1, 0}, 1u << 3, 0ms},
        {{0x02, 1, 0}, 1u << 2, 0ms}, {{0x41, 1, 0}, 1u << 0, 70ms},
        {{0x45, 1, 2}, 0, 0ms},       {{0x43, 4, 1, 2, 3, 4}, 0, 0ms},
        {{0x48, 1, 0}, 0, 0ms},       {{0x01, 1, 1}, 0, 0ms},  // refused
    };
    for (const eventCase& c : cases) {
        sent.clear();
        send(c.request);
        if (c.mask == 0) {
            EXPECT_TRUE(sent.empty()) << int(c.request[0]);
            continue;
        }
        ASSERT_EQ(sent.size(), 1u) << int(c.request[0]);
        EXPECT_EQ(sent[0].type, 1);
        EXPECT_EQ(sent[0].source, 4);
        EXPECT_EQ(sent[0].mask, c.mask) << int(c.request[0]);
        EXPECT_EQ(sent[0].delay, c.delay) << int(c.request[0]);
    }

    // A drive is reported when it comes or goes, not when nothing changed.
    sent.clear();
    recorder.setDriveConnected(true);
    recorder.setDriveConnected(false);
    recorder.setDriveConnected(false);
    recorder.setDriveConnected(true);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].mask, 1u << 5);
    EXPECT_EQ(sent[1].mask, 1u << 4);
}

}  // namespace
}  // namespace dravix::emu
