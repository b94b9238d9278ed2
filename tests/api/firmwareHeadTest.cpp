// The head FPGA update through the exports, against the emulated head's JTAG port.
#include <gtest/gtest.h>

#include <thread>

#include "device/jtagBinFile.h"
#include "firmwareTestSupport.h"

namespace {

using dravix::emu::emulatedFaultPlan;
using dravix::emu::emulatedJtagPort;
using std::chrono::milliseconds;

struct pauseRecord {
    uint32_t position;
    uint16_t delay;
};

void putBigEndian(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

// A BIN file: header, the records, the end record (unless left out), the stream, the CRC.
std::vector<uint8_t> binFile(const std::vector<uint8_t>& stream,
                             const std::vector<pauseRecord>& pauses = {}, bool endRecord = true) {
    const std::string header = "ZEL GmbH JTAG BIN File";
    std::vector<uint8_t> file(header.begin(), header.end());
    for (const pauseRecord& record : pauses) {
        putBigEndian(file, record.position, 4);
        putBigEndian(file, record.delay, 2);
    }
    if (endRecord) {
        file.insert(file.end(), 6, 0xFF);
    }
    file.insert(file.end(), stream.begin(), stream.end());
    putBigEndian(file, dravix::jtagBinFile::crc32(file.data(), file.size()), 4);
    return file;
}

class headUpdateTest : public firmwareTest {
  protected:
    int32_t update(const std::vector<uint8_t>& file) {
        return ZEL_CAM_FpgaHeadFirmwareUpdate(0, writeFile("head.bin", file).c_str());
    }
    static emulatedJtagPort& jtag() { return camera().jtagPort(); }
};

TEST_F(headUpdateTest, TheStreamIsCutAtPausesLoadedByThePowerCycleAndChecked) {
    const std::vector<uint8_t> stream = patternImage(10000);
    // Positions count half bytes; 6000 and 6001 are due at the same point.
    ASSERT_EQ(update(binFile(stream, {{6001, 300}, {2000, 1500}, {6000, 500}, {30000, 9}})), 0);
    EXPECT_EQ(finishedResult(), 0);
    EXPECT_EQ(jtag().loaded(), stream);
    const std::vector<std::size_t> chunks = jtag().chunkSizes();
    EXPECT_TRUE(std::all_of(chunks.begin(), chunks.end(),
                            [](std::size_t size) { return size > 0 && size <= 128; }));
    std::size_t sent = 0;
    std::vector<std::size_t> boundaries;
    for (std::size_t size : chunks) {
        sent += size;
        boundaries.push_back(sent);
    }
    EXPECT_NE(std::find(boundaries.begin(), boundaries.end(), 1000u), boundaries.end());
    EXPECT_NE(std::find(boundaries.begin(), boundaries.end(), 3000u), boundaries.end());
    const std::vector<milliseconds> waits = {milliseconds(100),  milliseconds(1500),
                                             milliseconds(500),  milliseconds(300),
                                             milliseconds(2000), milliseconds(2000)};
    EXPECT_EQ(clock_.waits(), waits);
    EXPECT_EQ(jtag().statusReads(), 3);  // after 4096 and 8192 bytes, and at the end
    EXPECT_TRUE(log_.waitFor("INFO cFpgaHead::firmwareThread sleep 1500 ms"));
    EXPECT_TRUE(log_.waitFor("VERBOSE FPGA HEAD Firmware Update finished"));
    EXPECT_EQ(countOf(log_.lines(), "INFO cFpgaHead::firmwareThread sleep 500 ms"), 0u);
    EXPECT_TRUE(camera().identity().controllerInterrupts());
    EXPECT_TRUE(camera().identity().headPower());
}

TEST_F(headUpdateTest, WireTraceOfAShortStream) {
    camera().startRecording();
    ASSERT_EQ(update(binFile(patternImage(300))), 0);
    ASSERT_EQ(finishedResult(), 0);
    // Two 128-byte chunks through feature reports, the last 44 bytes inside the command.
    const std::vector<std::string> expected = {
        "ctrl 81 0",   "write 78 90", "write 78 91", "cmd E2",    "write 78 91", "cmd E2",
        "write 78 91", "read 78 90",  "ctrl 80 0",   "ctrl 81 1", "ctrl 80 1"};
    // The powered head announces itself; the library's reading of it follows the update.
    std::vector<std::string> trace = commandTrace(camera().recorded());
    ASSERT_GE(trace.size(), expected.size());
    trace.resize(expected.size());
    EXPECT_EQ(trace, expected);
}

TEST_F(headUpdateTest, FilesThatAreNotWholeSendNothing) {
    std::vector<uint8_t> badHeader = binFile(patternImage(100));
    badHeader[3] = 'x';
    std::vector<uint8_t> badCrc = binFile(patternImage(100));
    badCrc.back() ^= 1;
    // A record that reaches into the CRC: two bytes after the header, then the CRC.
    std::vector<uint8_t> crossing = binFile({}, {}, false);
    crossing.insert(crossing.end() - 4, {0x00, 0x01});
    crossing.resize(crossing.size() - 4);
    putBigEndian(crossing, dravix::jtagBinFile::crc32(crossing.data(), crossing.size()), 4);
    std::vector<uint8_t> shortFile = binFile({});
    shortFile.resize(25);
    const struct {
        const char* what;
        std::vector<uint8_t> file;
        std::string message;
    } cases[] = {
        {"header", badHeader, "ERROR cFPpgaHead::firmwareThread WRONG FILE"},
        {"too short", shortFile, "ERROR cFPpgaHead::firmwareThread WRONG FILE"},
        {"crc", badCrc, ""},
        {"no end record", binFile(patternImage(100), {{10, 10}}, false),
         "ERROR cFPpgaHead::firmwareThread WRONG FILE"},
        {"empty stream", binFile({}, {{10, 10}}), "ERROR cFPpgaHead::firmwareThread WRONG FILE"},
        {"record crossing the CRC", crossing, "ERROR cFPpgaHead::firmwareThread WRONG FILE"},
    };
    camera().startRecording();
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        ASSERT_EQ(update(test.file), 0);
        EXPECT_EQ(finishedResult(), 1);
        if (!test.message.empty()) {
            EXPECT_TRUE(log_.waitFor(test.message));
        }
    }
    char crcMessage[80];
    const uint32_t stored = static_cast<uint32_t>(badCrc[badCrc.size() - 4]) << 24 |
                            badCrc[badCrc.size() - 3] << 16 | badCrc[badCrc.size() - 2] << 8 |
                            badCrc.back();
    snprintf(crcMessage, sizeof crcMessage, "ERROR cFpgaHead::firmwareThread CRC\n\t%.8X != %.8X",
             stored, stored ^ 1);
    EXPECT_TRUE(log_.waitFor(crcMessage));
    EXPECT_TRUE(camera().recorded().empty());
}

TEST_F(headUpdateTest, AFailedStreamSwitchesInterruptsBackOnAndLeavesTheHeadAlone) {
    const std::vector<uint8_t> stream = patternImage(9000);
    const struct {
        const char* what;
        std::function<void()> fault;
        std::string message;
    } cases[] = {
        {"TDO", [] { jtag().setStatusFault(emulatedJtagPort::kTdoBit, 4096); },
         "ERROR cFpgaHead::firmwareThread TDO JTAG"},
        {"BUF at the end", [] { jtag().setStatusFault(emulatedJtagPort::kBufBit, 9000); },
         "ERROR cFpgaHead::firmwareThread BUF JTAG"},
        {"status unread", [] { jtag().faults().planAt(0x90, 2, emulatedFaultPlan::action::fail); },
         "ERROR cFpgaHead::firmwareThread status read failed"},
        {"chunk refused", [] { jtag().faults().planAt(0x91, 3, emulatedFaultPlan::action::fail); },
         ""},
        {"chunk unanswered",
         [] { jtag().faults().planAt(0x91, 2, emulatedFaultPlan::action::timeOut); },
         "ERROR fx3Hid::hidWaitReponse: timeout for cmdID: 0xE2, timeout: 1000"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        const std::vector<uint8_t> before = jtag().loaded();
        test.fault();
        camera().clearRecording();
        camera().startRecording();
        ASSERT_EQ(update(binFile(stream)), 0);
        EXPECT_EQ(finishedResult(), 1);
        if (!test.message.empty()) {
            EXPECT_TRUE(waitForLineStartingWith(test.message));
        }
        // The update's own commands: the library may still be reading the head that the
        // previous case's update powered on.
        std::vector<std::string> trace = commandTrace(camera().recorded());
        trace.erase(std::remove_if(trace.begin(), trace.end(),
                                   [](const std::string& entry) {
                                       return entry.rfind("ctrl 8", 0) != 0 &&
                                              entry.find(" 78 ") == std::string::npos &&
                                              entry != "cmd E2";
                                   }),
                    trace.end());
        ASSERT_FALSE(trace.empty());
        EXPECT_EQ(trace.back(), "ctrl 81 1");
        EXPECT_EQ(std::count(trace.begin(), trace.end(), "ctrl 80 0"), 0);
        EXPECT_TRUE(camera().identity().controllerInterrupts());
        EXPECT_EQ(jtag().loaded(), before);
        jtag().setStatusFault(0, 0);
        jtag().faults().clear();
        ASSERT_EQ(update(binFile(stream)), 0);
        EXPECT_EQ(finishedResult(), 0);
        EXPECT_EQ(jtag().loaded(), stream);
    }
}

// The device going away after the port was armed aborts the update at the pause that follows.
TEST_F(headUpdateTest, AnUnplugBetweenTwoCommandsAbortsTheUpdateOnce) {
    const std::vector<uint8_t> stream = patternImage(1000);
    const std::size_t abortsBefore = abortsLogged();
    jtag().faults().planAt(emulatedJtagPort::kControlRegister, 1,
                           emulatedFaultPlan::action::unplugAfterReply);
    ASSERT_EQ(update(binFile(stream)), 0);
    EXPECT_EQ(finishedResult(), 1);
    EXPECT_EQ(jtag().faults().strikes(), 1);
    EXPECT_EQ(abortsLogged() - abortsBefore, 1u);
    EXPECT_TRUE(jtag().stream().empty());
    replugAfterLoss();
    ASSERT_EQ(update(binFile(stream)), 0);
    EXPECT_EQ(finishedResult(), 0);
    EXPECT_EQ(jtag().loaded(), stream);
}

// A clock whose long waits last until their event is set: a pause that only a cancel ends.
class blockingClock : public fakeUpdateClock {
  public:
    bool waitFor(dravix::manualResetEvent& event, milliseconds duration) override {
        if (duration < std::chrono::seconds(60)) {
            return fakeUpdateClock::waitFor(event, duration);
        }
        waiting_.set();
        event.wait();
        return true;
    }
    dravix::manualResetEvent waiting_;
};

TEST_F(headUpdateTest, CloseDuringALongPauseEndsItAtOnce) {
    blockingClock clock;
    cam()->firmware().setClock(clock);
    ASSERT_EQ(update(binFile(patternImage(1000), {{400, 65535}})), 0);
    clock.waiting_.wait();
    ASSERT_EQ(ZEL_CAM_Close(0), 0);
    EXPECT_TRUE(cam()->firmware().progress().finished());
    uint8_t percent = 0;
    EXPECT_EQ(ZEL_CAM_FpgaHeadFirmwareUpdateProgress(0, &percent), 1);
    EXPECT_TRUE(log_.waitFor("ERROR camera::updateThread: update aborted"));
    EXPECT_TRUE(log_.waitFor("INFO cFpgaHead::firmwareThread sleep 65535 ms"));
    EXPECT_EQ(jtag().stream().size(), 200u);
}

}  // namespace
