// The recorder exports against an open emulated camera: the request of every export in one
// table, the date's byte order, the framing of command texts and the refusal of those too long
// for one report, each way a recorder function fails, and the recorder's interrupts back through
// the library.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camera/camera.h"
#include "camera/libraryState.h"
#include "dravix/dravix.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedRecorder.h"
#include "eventually.h"
#include "log/logger.h"
#include "openCameraTest.h"

namespace {

using dravix::emu::wireKind;
using dravix::emu::wireRecord;
using ::testing::Contains;
using ::testing::ElementsAreArray;
using bytes = std::vector<uint8_t>;
using std::chrono::seconds;
using std::chrono::system_clock;

constexpr uint8_t kCmdRecFunc = 0x30;
// The fixed time the camera's clock shows in these tests: every byte distinct.
constexpr int64_t kFixedTime = 0x5A1B2C3D;

struct exportRow {
    std::string name;
    std::function<int32_t(int32_t index)> call;
    bytes request;  // code, count, parameter bytes
};

const std::vector<exportRow>& exportRows() {
    static const std::vector<exportRow> rows = {
        {"recStart", [](int32_t i) { return ZEL_CAM_recStart(i); }, {0x01, 1, 0}},
        {"recStop", [](int32_t i) { return ZEL_CAM_recStop(i); }, {0x02, 1, 0}},
        {"recCapture", [](int32_t i) { return ZEL_CAM_recCapture(i); }, {0x03, 1, 0}},
        {"recUpdate", [](int32_t i) { return ZEL_CAM_recUpdate(i); }, {0x40, 1, 0}},
        {"recReboot", [](int32_t i) { return ZEL_CAM_recReboot(i); }, {0x41, 1, 0}},
        {"recExplorer", [](int32_t i) { return ZEL_CAM_recExplorer(i); }, {0x42, 1, 0}},
        {"recSetDate",
         [](int32_t i) { return ZEL_CAM_recSetDate(i); },
         {0x43, 4, 0x5A, 0x1B, 0x2C, 0x3D}},
        {"recSetCmd",
         [](int32_t i) { return ZEL_CAM_recSetCmd(i, "ab"); },
         {0x44, 8, 'a', 'b', 'E', 'O', 'C', 0, 0, 0}},
        {"recSetDebugMode", [](int32_t i) { return ZEL_CAM_recSetDebugMode(i, 2); }, {0x45, 1, 2}},
        {"recSetOsdRec", [](int32_t i) { return ZEL_CAM_recSetOsdRec(i); }, {0x46, 1, 0}},
        {"recCopyLogfile", [](int32_t i) { return ZEL_CAM_recCopyLogfile(i); }, {0x47, 1, 0}},
        {"recPrepareUsb", [](int32_t i) { return ZEL_CAM_recPrepareUsb(i); }, {0x48, 1, 0}},
        {"recReinitOsd", [](int32_t i) { return ZEL_CAM_recReinitOsd(i); }, {0x49, 1, 0}},
    };
    return rows;
}

// Copies the recorder versions of each status record handed to the status callback.
class recorderVersionWatch {
  public:
    static int onStatus(DeviceStatus* status, void* user) {
        auto* self = static_cast<recorderVersionWatch*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->fpga_ = status->versionRecFpga;
        self->service_ = status->versionRecService;
        self->arrived_.notify_all();
        return 0;
    }
    // Waits until a record shows these versions of the recorder's FPGA and service.
    bool waitFor(uint16_t fpgaPatch, uint16_t servicePatch) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::seconds(10), [&] {
            return fpga_.patch == fpgaPatch && service_.patch == servicePatch;
        });
    }

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    VersionInfo fpga_{};
    VersionInfo service_{};
};

class recorderExportsTest : public openCameraTest {
  protected:
    void SetUp() override {
        openCameraTest::SetUp();
        camera().setReplyLatency(std::chrono::microseconds(0));
        setClock(system_clock::time_point(seconds(kFixedTime)));
        camera().startRecording();
    }

    static void setClock(system_clock::time_point time) {
        dravix::libraryState::instance().cameraAt(0)->setClock([time] { return time; });
    }

    // The data bytes (after report id and command id) of the recorder commands sent since the
    // last call; every other byte of a report must be zero.
    std::vector<bytes> takeRequests() {
        std::vector<bytes> requests;
        for (const wireRecord& record : camera().recorded()) {
            if (record.kind == wireKind::output && record.bytes[1] == kCmdRecFunc) {
                requests.emplace_back(record.bytes.begin() + 2, record.bytes.end());
            }
        }
        camera().clearRecording();
        return requests;
    }

    // The interrupt reports that reached the library since the last call.
    std::vector<bytes> takeInterrupts() {
        std::vector<bytes> interrupts;
        for (const wireRecord& record : camera().recorded()) {
            if (record.kind == wireKind::input && record.bytes[0] == 2) {
                interrupts.push_back(record.bytes);
            }
        }
        camera().clearRecording();
        return interrupts;
    }

    // `request` as it fills the 62 data bytes of a report.
    static bytes padded(bytes request) {
        request.resize(62, 0);
        return request;
    }

    // The messages logged so far, once a marker logged last has arrived.
    std::vector<std::string> settledLines() {
        const std::string marker = "settled " + std::to_string(++markers_);
        dravix::libraryLog().info("%s", marker.c_str());
        EXPECT_TRUE(log_.waitFor("INFO " + marker));
        return log_.lines();
    }
    std::size_t countLines(const std::string& line) { return countOf(settledLines(), line); }

    static dravix::emu::emulatedRecorder& recorder() { return camera().recorderUnit(); }
    int markers_ = 0;
    // Outlives the cameras, whose threads may call it until they end.
    recorderVersionWatch versions_;
};

TEST_F(recorderExportsTest, everyExportSendsItsFunctionInOneReport) {
    for (const exportRow& row : exportRows()) {
        ASSERT_EQ(row.call(0), 0) << row.name;
        const auto requests = takeRequests();
        ASSERT_EQ(requests.size(), 1u) << row.name;
        EXPECT_THAT(requests[0], ElementsAreArray(padded(row.request))) << row.name;
        EXPECT_EQ(recorder().current().lastCode, row.request[0]) << row.name;
        EXPECT_EQ(recorder().calls(row.request[0]), 1u) << row.name;
    }
    const auto state = recorder().current();
    EXPECT_EQ(state.date, static_cast<uint32_t>(kFixedTime));
    EXPECT_EQ(state.command, "ab");
    EXPECT_EQ(state.debugMode, 2);
    EXPECT_EQ(countLines("ERROR cameraRec::setRecFunc"), 0u);
}

TEST_F(recorderExportsTest, theDateIsTheLow32BitsOfUtcSecondsMostSignificantFirst) {
    struct dateCase {
        system_clock::time_point time;
        bytes sent;
    };
    const auto at = [](int64_t s) { return system_clock::time_point(seconds(s)); };
    const std::vector<dateCase> cases = {
        {at(0), {0, 0, 0, 0}},
        {at(0x01020304), {0x01, 0x02, 0x03, 0x04}},
        {at(0x01020304) + std::chrono::milliseconds(999), {0x01, 0x02, 0x03, 0x04}},
        {at(0xFFFFFFFF), {0xFF, 0xFF, 0xFF, 0xFF}},   // 2106-02-07 06:28:15
        {at(0x100000000), {0, 0, 0, 0}},              // one second later it starts again
        {at(0x1A0B0C0D0), {0xA0, 0xB0, 0xC0, 0xD0}},  // in 2190
        {at(-1), {0xFF, 0xFF, 0xFF, 0xFF}},           // 1969-12-31 23:59:59
        {at(0) - std::chrono::milliseconds(1), {0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const dateCase& c : cases) {
        setClock(c.time);
        ASSERT_EQ(ZEL_CAM_recSetDate(0), 0);
        bytes request = {0x43, 4};
        request.insert(request.end(), c.sent.begin(), c.sent.end());
        const auto requests = takeRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_THAT(requests[0], ElementsAreArray(padded(request)))
            << c.time.time_since_epoch().count();
        const uint32_t value =
            static_cast<uint32_t>(c.sent[0]) << 24 | c.sent[1] << 16 | c.sent[2] << 8 | c.sent[3];
        EXPECT_EQ(recorder().current().date, value);
    }
}

TEST_F(recorderExportsTest, commandTextsAreFramedWithTheirEndMarkerAndZeroPadding) {
    struct frameCase {
        std::string text;
        uint8_t count;
    };
    const std::vector<frameCase> cases = {
        {"", 4},
        {"ab", 8},
        {"abcd", 8},
        {"abcde", 12},
        {"xEOCy", 12},
        {std::string(52, 'q'), 56},
        {std::string(53, 'r'), 60},
        {std::string(56, 's'), 60},
    };
    for (const frameCase& c : cases) {
        ASSERT_EQ(ZEL_CAM_recSetCmd(0, c.text.c_str()), 0) << c.text.size();
        bytes request = {0x44, c.count};
        request.insert(request.end(), c.text.begin(), c.text.end());
        request.insert(request.end(), {'E', 'O', 'C'});
        request.resize(2 + c.count, 0);
        const auto requests = takeRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_THAT(requests[0], ElementsAreArray(padded(request))) << c.text.size();
        EXPECT_EQ(recorder().current().command, c.text);
    }
}

// Cut to fit, a text would lose its end marker and the recorder would run another command.
TEST_F(recorderExportsTest, textsTooLongForOneReportAndNullTextsAreRefusedUnsent) {
    for (const std::size_t length : {57u, 58u, 250u, 1000u}) {
        const std::string text(length, 'x');
        EXPECT_EQ(ZEL_CAM_recSetCmd(0, text.c_str()), 1) << length;
    }
    EXPECT_EQ(ZEL_CAM_recSetCmd(0, nullptr), 1);
    // The same limit holds for every function sent directly.
    const auto cam = dravix::libraryState::instance().cameraAt(0);
    const bytes frame(61, 'x');
    EXPECT_EQ(cam->setRecFunc(0x44, frame.data(), 61), 1);
    EXPECT_EQ(cam->setRecFunc(0x44, nullptr, 4), 1);
    EXPECT_TRUE(takeRequests().empty());
    EXPECT_EQ(recorder().calls(0x44), 0u);
    const auto lines = settledLines();
    EXPECT_EQ(
        countOf(lines, "ERROR main::ZEL_CAM_recSetCmd: command text longer than 56 characters"),
        4u);
    EXPECT_EQ(countOf(lines, "ERROR main::ZEL_CAM_recSetCmd: NULL POINTER"), 1u);
    EXPECT_THAT(lines, Contains("ERROR cameraRec::setRecFunc: 61 parameter bytes don't fit one "
                                "report (at most 60)"));
    EXPECT_THAT(lines, Contains("ERROR cameraRec::setRecFunc: no parameter bytes"));
}

TEST_F(recorderExportsTest, eachFailureOfTheExchangeIsOneWithItsMessages) {
    struct failureCase {
        std::string name;
        std::function<void()> arrange;
        std::string transportMessage;
    };
    const std::vector<failureCase> cases = {
        {"status 2", [] { camera().queueReplyStatus(2); },
         "ERROR fx3Hid::hidCheckStatus: BAD ARGUMENT (cmd: 0x30)"},
        {"status 3", [] { camera().queueReplyStatus(3); },
         "ERROR fx3Hid::hidCheckStatus: INVALID CMD ID (cmd: 0x30)"},
        {"status 99", [] { camera().queueReplyStatus(99); },
         "ERROR fx3Hid::hidCheckStatus: HID undocumented error (status: 99) (cmd: 0x30)"},
        {"no recorder", [] { camera().recorderUnit().setFitted(false); },
         "ERROR fx3Hid::hidCheckStatus: NOT IMPLEMENTED (cmd: 0x30)"},
    };
    for (const failureCase& c : cases) {
        c.arrange();
        for (const exportRow& row : exportRows()) {
            camera().clearFaults();
            c.arrange();
            EXPECT_EQ(row.call(0), 1) << c.name << " " << row.name;
        }
        camera().recorderUnit().setFitted(true);
    }
    const auto lines = settledLines();
    for (const failureCase& c : cases) {
        EXPECT_EQ(countOf(lines, c.transportMessage), exportRows().size()) << c.name;
    }
    EXPECT_EQ(countOf(lines, "ERROR cameraRec::setRecFunc"), cases.size() * exportRows().size());
    EXPECT_EQ(ZEL_CAM_recStart(0), 0);
}

TEST_F(recorderExportsTest, withoutItsHidChannelNothingIsSent) {
    ASSERT_EQ(ZEL_CAM_Close(0), 0);
    for (const exportRow& row : exportRows()) {
        EXPECT_EQ(row.call(0), 1) << row.name;
    }
    EXPECT_TRUE(takeRequests().empty());
    const auto lines = settledLines();
    EXPECT_EQ(countOf(lines, "ERROR cameraRec::setRecFunc: HID not initialized"),
              exportRows().size());
    EXPECT_EQ(countOf(lines, "ERROR cameraRec::setRecFunc"), 0u);
}

// The recorder reports what it did through the camera's interrupt switches; with the
// controller's interrupt handling off nothing comes.
TEST_F(recorderExportsTest, theRecorderReportsWhatItDidWithStatusInterrupts) {
    struct eventCase {
        std::string name;
        std::function<void()> act;
        uint32_t mask;
    };
    const std::vector<eventCase> cases = {
        {"start", [] { EXPECT_EQ(ZEL_CAM_recStart(0), 0); }, 1u << 1},
        {"capture", [] { EXPECT_EQ(ZEL_CAM_recCapture(0), 0); }, 1u << 3},
        {"stop", [] { EXPECT_EQ(ZEL_CAM_recStop(0), 0); }, 1u << 2},
        {"reboot", [] { EXPECT_EQ(ZEL_CAM_recReboot(0), 0); }, 1u << 0},
        {"drive removed", [] { recorder().setDriveConnected(false); }, 1u << 5},
        {"drive connected", [] { recorder().setDriveConnected(true); }, 1u << 4},
    };
    for (const eventCase& c : cases) {
        takeInterrupts();
        c.act();
        std::vector<bytes> interrupts;
        ASSERT_TRUE(eventually([&] { return !(interrupts = takeInterrupts()).empty(); })) << c.name;
        ASSERT_EQ(interrupts.size(), 1u) << c.name;
        const bytes expected = {2,
                                1,
                                4,
                                static_cast<uint8_t>(c.mask >> 24),
                                static_cast<uint8_t>(c.mask >> 16),
                                static_cast<uint8_t>(c.mask >> 8),
                                static_cast<uint8_t>(c.mask)};
        EXPECT_EQ(bytes(interrupts[0].begin(), interrupts[0].begin() + 7), expected) << c.name;
    }

    // A function's interrupt comes before its reply, so it would be there once the call returns.
    const auto cam = dravix::libraryState::instance().cameraAt(0);
    ASSERT_EQ(cam->commands().setFx3IntrHandling(false), 0);
    EXPECT_EQ(ZEL_CAM_recStart(0), 0);
    EXPECT_TRUE(takeInterrupts().empty());
    EXPECT_TRUE(recorder().current().recording);
}

// A close while a function waits for its reply ends the wait at once; the channel the function
// started with stays valid until then.
TEST_F(recorderExportsTest, aCloseDuringAFunctionEndsItsWait) {
    camera().queueNoReply();
    int32_t result = -1;
    std::thread caller([&] { result = ZEL_CAM_recCapture(0); });
    ASSERT_TRUE(eventually([&] { return recorder().calls(0x03) == 1; }));
    EXPECT_EQ(ZEL_CAM_Close(0), 0);
    caller.join();
    EXPECT_EQ(result, 1);
    // Abandoned by the close, or closed under it: either way not waited out.
    const auto lines = settledLines();
    EXPECT_EQ(countOf(lines, "ERROR fx3Hid::hidWaitReponse: wait abandoned (cmdID: 0x30)") +
                  countOf(lines, "ERROR fx3Hid::hidWaitReponse: device closed (cmdID: 0x30)"),
              1u);
}

// Recorder functions and DSP reads share the channel; each gets its own reply.
TEST_F(recorderExportsTest, recorderFunctionsAndDspReadsInterleaveOnTheChannel) {
    constexpr int kRounds = 100;
    std::thread dsp([] {
        uint8_t state[2];
        for (int i = 0; i < kRounds; ++i) {
            EXPECT_EQ(ZEL_CAM_getToggleState(0, state), 0);
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        EXPECT_EQ(ZEL_CAM_recCapture(0), 0);
    }
    dsp.join();
    EXPECT_EQ(recorder().current().captures, static_cast<uint32_t>(kRounds));
}

// The recorder's own report of a started recording reaches the log through the interrupt path.
TEST_F(recorderExportsTest, aStartedRecordingIsLoggedFromTheRecordersInterrupt) {
    ASSERT_EQ(ZEL_CAM_recStart(0), 0);
    EXPECT_TRUE(log_.waitFor("DEBUG Recording started"));
    EXPECT_TRUE(log_.waitFor("DEBUG Interrupt, type: REC (4)\n\t0x2: status: INTR_REC_STARTED "));
}

// A rebooted recorder announces itself, and the library reads its versions again.
TEST_F(recorderExportsTest, aRebootedRecorderHasItsVersionsReadAgain) {
    ASSERT_EQ(ZEL_CAM_StatusCallback(0, &recorderVersionWatch::onStatus, &versions_), 0);
    camera().identity().setVersion(8, 3, 1, 1234, 0, 0, 0, 0);
    camera().identity().setVersion(9, 4, 2, 2345, 0, 0, 0, 0);
    ASSERT_EQ(ZEL_CAM_recReboot(0), 0);
    EXPECT_TRUE(versions_.waitFor(1234, 2345));
    EXPECT_TRUE(log_.waitFor("DEBUG Interrupt, type: REC (4)\n\t0x1: status: INTR_REC_BOOTED "));
    // The recorder's set: versions of its FPGA and service, the build of its system.
    std::vector<uint8_t> components;
    for (const wireRecord& record : camera().recorded()) {
        if (record.kind == wireKind::output && record.bytes[1] == 0x02) {
            components.push_back(record.bytes[2]);
        }
    }
    const std::vector<uint8_t> recorderSet = {8, 9, 11};
    EXPECT_NE(
        std::search(components.begin(), components.end(), recorderSet.begin(), recorderSet.end()),
        components.end());
}

}  // namespace
