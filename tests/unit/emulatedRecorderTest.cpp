// The emulated recorder unit on its own: the requests it refuses as malformed.
#include "emu/emulatedRecorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace dravix::emu {
namespace {

using bytes = std::vector<uint8_t>;

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

    int interrupts = 0;
    emulatedRecorder recorder{[this](uint8_t, const emulatedRecorder::interruptData&,
                                     std::chrono::milliseconds) { ++interrupts; }};
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
    EXPECT_EQ(interrupts, 0);
    // The frames around the refused ones are taken.
    EXPECT_EQ(send(framed("xEOCy", 12)), replyStatus::success);
    EXPECT_EQ(send(framed(std::string(56, 'z'), 60)), replyStatus::success);
    EXPECT_EQ(recorder.current().command, std::string(56, 'z'));
}

}  // namespace
}  // namespace dravix::emu
