// The frame of the exported interface, observed through the exports: version queries, the guards
// and their messages, the stand-in exports of this build, Destroy and the logging exports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cHeaderCheck.h"
#include "camera/camera.h"
#include "camera/libraryState.h"
#include "camera/videoDeviceList.h"
#include "dravix/dravix.h"
#include "emu/emulatedCameraSet.h"
#include "log/logLineFormatter.h"
#include "log/logger.h"
#include "logCapture.h"
#include "tempHome.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace fs = std::filesystem;

// The pointer width of this build, not of the platform the interface was first built for.
const std::string kDllLine = sizeof(void*) == 8 ? "INFO dll: 64 bit " : "INFO dll: 32 bit ";

std::string readText(const fs::path& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// An export called with a camera index and fixed further arguments.
struct indexedExport {
    std::string name;
    std::function<int32_t(int32_t)> call;
};

char gText[64];
uint8_t gBytes[64];

// Representatives of every family whose guard reports an index outside the table. (Open runs
// Init on an empty slot; the lifecycle tests cover it.)
const std::vector<indexedExport>& fullGuardExports() {
    static const std::vector<indexedExport> exports = {
        {"ZEL_CAM_Close", [](int32_t i) { return ZEL_CAM_Close(i); }},
        {"ZEL_CAM_Start", [](int32_t i) { return ZEL_CAM_Start(i, 0, nullptr); }},
        {"ZEL_CAM_SetVideoScale", [](int32_t i) { return ZEL_CAM_SetVideoScale(i, 960, 600, 2); }},
        {"ZEL_CAM_SaveJPG", [](int32_t i) { return ZEL_CAM_SaveJPG(i, "pic", 0); }},
        {"ZEL_CAM_GetHeadInfo", [](int32_t i) { return ZEL_CAM_GetHeadInfo(i, gBytes); }},
        {"ZEL_CAM_Fx3FirmwareUpdate", [](int32_t i) { return ZEL_CAM_Fx3FirmwareUpdate(i, "f"); }},
        {"ZEL_CAM_setAutorestart", [](int32_t i) { return ZEL_CAM_setAutorestart(i, 1); }},
        {"ZEL_CAM_getIni", [](int32_t i) { return ZEL_CAM_getIni(i, gText, 20); }},
    };
    return exports;
}

// Representatives of every family that treats an index outside the table as an empty slot.
const std::vector<indexedExport>& slotGuardExports() {
    static const std::vector<indexedExport> exports = {
        {"ZEL_CAM_FrameCallback", [](int32_t i) { return ZEL_CAM_FrameCallback(i, nullptr, 0); }},
        {"ZEL_CAM_StatusCallback",
         [](int32_t i) { return ZEL_CAM_StatusCallback(i, nullptr, nullptr); }},
        {"ZEL_CAM_setColorMode", [](int32_t i) { return ZEL_CAM_setColorMode(i, 4); }},
        {"ZEL_CAM_getToggleState", [](int32_t i) { return ZEL_CAM_getToggleState(i, gBytes); }},
        {"ZEL_CAM_getHvFlipStatic",
         [](int32_t i) { return ZEL_CAM_getHvFlipStatic(i, gBytes, gBytes, gBytes, gBytes); }},
        {"ZEL_CAM_readQprFile", [](int32_t i) { return ZEL_CAM_readQprFile(i, "a.qpr", 3); }},
        {"ZEL_CAM_recStart", [](int32_t i) { return ZEL_CAM_recStart(i); }},
        {"ZEL_CAM_recPrepareUsb", [](int32_t i) { return ZEL_CAM_recPrepareUsb(i); }},
    };
    return exports;
}

// The analysis functions, every arity.
const std::vector<indexedExport>& analysisExports() {
    static const std::vector<indexedExport> exports = {
        {"getVectorscopeArr", [](int32_t i) { return ZEL_CAM_getVectorscopeArr(i, gBytes); }},
        {"getHistogramArr", [](int32_t i) { return ZEL_CAM_getHistogramArr(i, gBytes); }},
        {"getDiffArr", [](int32_t i) { return ZEL_CAM_getDiffArr(i, gBytes); }},
        {"getVectorscopeArrW", [](int32_t i) { return ZEL_CAM_getVectorscopeArrW(i, gBytes, 8); }},
        {"getHistogramArrW", [](int32_t i) { return ZEL_CAM_getHistogramArrW(i, gBytes, 8); }},
        {"getLine", [](int32_t i) { return ZEL_CAM_getLine(i, gBytes, 1, 0); }},
        {"getWave", [](int32_t i) { return ZEL_CAM_getWave(i, gBytes, 1, 0); }},
        {"getRGBWave", [](int32_t i) { return ZEL_CAM_getRGBWave(i, gBytes, 1, 0); }},
        {"getWaveW", [](int32_t i) { return ZEL_CAM_getWaveW(i, gBytes, 1, 0, 8); }},
        {"getRGBWaveW", [](int32_t i) { return ZEL_CAM_getRGBWaveW(i, gBytes, 1, 0, 8); }},
    };
    return exports;
}

class apiFrameTest : public ::testing::Test {
  protected:
    void TearDown() override {
        dravix::libraryState::instance().destroyAll();
        dravix::libraryLog().close();
    }

    void writeConfig(const std::string& text) {
        fs::create_directories(home_.configHome() / "dravix");
        std::ofstream(home_.configHome() / "dravix" / "dravix.conf") << text;
    }

    void captureLog(uint8_t mask = ZEL_CAM_LOG_ALL) {
        ZEL_CAM_setLogCallback(&logCapture::onMessage, &capture_, mask);
    }

    // Opens the library log the way a client does first, and captures every level.
    void openCapturedLog() {
        char version[20];
        ASSERT_EQ(ZEL_CAM_GetApiVersion(version), 5);
        captureLog();
    }

    // Ends the log, which hands every waiting message to the callback first.
    std::vector<std::string> closeLogAndCollect() {
        dravix::libraryLog().close();
        return capture_.lines();
    }

    // A camera that was never opened, on a machine without cameras.
    void occupySlot(int32_t index) {
        dravix::libraryState::instance().installCamera(
            index, std::make_unique<dravix::camera>(
                       dravix::libraryLog(), devices_, dravix::camera::kDefaultVendorId,
                       dravix::camera::kDefaultProductId, noCameras_.videoBackend(),
                       noCameras_.hidBackend()));
    }

    tempHome home_;
    logCapture capture_;
    dravix::emu::emulatedCameraSet noCameras_{0};
    dravix::videoDeviceList devices_{noCameras_.videoBackend(), dravix::libraryLog()};
};

TEST_F(apiFrameTest, versionQueriesFillTheBufferAndLogVersionBuildAndPointerWidth) {
    char version[20];
    std::memset(version, 'x', sizeof version);
    EXPECT_FALSE(dravix::libraryLog().isOpen());
    EXPECT_EQ(ZEL_CAM_GetApiVersion(version), 5);
    EXPECT_STREQ(version, "2.2.0");
    EXPECT_TRUE(dravix::libraryLog().isOpen());
    captureLog();

    char build[20];
    EXPECT_EQ(ZEL_CAM_GetApiBuild(build), 11);
    EXPECT_STREQ(build, "22.13.4.911");
    uint32_t number = 0;
    EXPECT_EQ(ZEL_CAM_GetApiVersionNumber(&number), 0);
    EXPECT_EQ(number, 0x02020000u);

    EXPECT_THAT(closeLogAndCollect(),
                ElementsAre("INFO Session started", "INFO API Version: 2.2.0",
                            "INFO API Build:   22.13.4.911", kDllLine,
                            "INFO API Build: 22.13.4.911", kDllLine, "INFO Session stopped"));
}

TEST_F(apiFrameTest, headerIsValidCAndAgreesWithCpp) {
    EXPECT_EQ(cDeviceStatusSize(), sizeof(DeviceStatus));
    EXPECT_EQ(cDeviceStatusOffset(C_FIELD_HEAD_INFO), offsetof(DeviceStatus, headInfo));
    EXPECT_EQ(cDeviceStatusOffset(C_FIELD_HARDWARE_REV_FX3),
              offsetof(DeviceStatus, hardwareRevFx3));
    EXPECT_EQ(cDeviceStatusOffset(C_FIELD_CAMERA_COUNT), offsetof(DeviceStatus, cameraCount));
    EXPECT_EQ(cDeviceStatusOffset(C_FIELD_SERIAL_DISPOSABLE),
              offsetof(DeviceStatus, serialDisposable));
    uint32_t number = 0;
    EXPECT_EQ(cGetApiVersionNumber(&number), 0);
    EXPECT_EQ(number, 0x02020000u);
}

TEST_F(apiFrameTest, nullPointersFailWithAMessageNamingTheExport) {
    EXPECT_EQ(ZEL_CAM_GetApiVersion(nullptr), 1);
    EXPECT_TRUE(dravix::libraryLog().isOpen());
    captureLog();
    EXPECT_EQ(ZEL_CAM_GetApiBuild(nullptr), 1);
    EXPECT_EQ(ZEL_CAM_GetApiVersionNumber(nullptr), 1);
    const std::string pathBefore = dravix::libraryLog().filePath();
    ZEL_CAM_setLogFilePath(nullptr);
    EXPECT_EQ(dravix::libraryLog().filePath(), pathBefore);
    EXPECT_EQ(ZEL_CAM_getLogTotalErrorCnt(), 3u);

    const auto lines = closeLogAndCollect();
    EXPECT_THAT(lines, Contains("ERROR main::ZEL_CAM_GetApiVersion: NULL POINTER"));
    EXPECT_THAT(lines, Contains("ERROR main::ZEL_CAM_GetApiBuild: NULL POINTER"));
    EXPECT_THAT(lines, Contains("ERROR main::ZEL_CAM_GetApiVersionNumber: NULL POINTER"));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("API Version"))));
}

TEST_F(apiFrameTest, commonGuardReportsIndexOutsideTableAndEmptySlot) {
    openCapturedLog();
    for (const indexedExport& e : fullGuardExports()) {
        EXPECT_EQ(e.call(-1), 1) << e.name;
        EXPECT_EQ(e.call(10), 1) << e.name;
        EXPECT_EQ(e.call(9), 1) << e.name;
    }
    EXPECT_EQ(ZEL_CAM_getLogTotalErrorCnt(), 3 * fullGuardExports().size());

    const auto lines = closeLogAndCollect();
    for (const indexedExport& e : fullGuardExports()) {
        EXPECT_EQ(countOf(lines, "ERROR main::" + e.name + ": DEVICE NOT FOUND"), 2u) << e.name;
        EXPECT_EQ(countOf(lines, "ERROR main::" + e.name + ": CAMERA NOT INITIALIZED"), 1u)
            << e.name;
    }
    EXPECT_THAT(lines, Not(Contains(HasSubstr("WARN"))));
}

TEST_F(apiFrameTest, slotOnlyGuardTreatsIndexOutsideTableAsEmptySlot) {
    openCapturedLog();
    for (const indexedExport& e : slotGuardExports()) {
        EXPECT_EQ(e.call(-1), 1) << e.name;
        EXPECT_EQ(e.call(10), 1) << e.name;
        EXPECT_EQ(e.call(0), 1) << e.name;
    }
    const auto lines = closeLogAndCollect();
    EXPECT_THAT(lines, Not(Contains(HasSubstr("DEVICE NOT FOUND"))));
    for (const indexedExport& e : slotGuardExports()) {
        EXPECT_EQ(countOf(lines, "ERROR main::" + e.name + ": CAMERA NOT INITIALIZED"), 3u)
            << e.name;
    }
}

TEST_F(apiFrameTest, exportsPastTheGuardSayWhatThisBuildLacks) {
    occupySlot(3);
    openCapturedLog();
    // The exports of the lifecycle, the video path, the DSP parameters, the settings files, the
    // pictures and the recorder work on this camera.
    const std::vector<std::string> working = {"ZEL_CAM_SetVideoScale",  "ZEL_CAM_FrameCallback",
                                              "ZEL_CAM_setColorMode",   "ZEL_CAM_Close",
                                              "ZEL_CAM_Start",          "ZEL_CAM_StartPic",
                                              "ZEL_CAM_Stop",           "ZEL_CAM_StatusCallback",
                                              "ZEL_CAM_getToggleState", "ZEL_CAM_getHvFlipStatic",
                                              "ZEL_CAM_readQprFile",    "ZEL_CAM_SaveJPG",
                                              "ZEL_CAM_recStart",       "ZEL_CAM_recPrepareUsb"};
    for (const auto* exports : {&fullGuardExports(), &slotGuardExports()}) {
        for (const indexedExport& e : *exports) {
            if (std::find(working.begin(), working.end(), e.name) == working.end()) {
                EXPECT_EQ(e.call(3), 1) << e.name;
            }
        }
    }
    // The firmware update works in this build and refuses a camera that is not open.
    EXPECT_EQ(ZEL_CAM_getLogTotalErrorCnt(), 1u);

    const auto lines = closeLogAndCollect();
    EXPECT_THAT(lines, Contains("ERROR camera::updateFirmware: camera is not open"));
    EXPECT_THAT(lines, Contains("WARN not implemented!"));                  // setAutorestart
    EXPECT_THAT(lines, Contains("WARN ZEL_CAM_getIni: not implemented!"));  // getIni
    EXPECT_THAT(lines, Not(Contains(AllOf(HasSubstr("ERROR"), Not(HasSubstr("updateFirmware"))))));
}

TEST_F(apiFrameTest, analysisFunctionsAlwaysFailAndSpeakOnlyWhenACameraIsThere) {
    openCapturedLog();
    for (const indexedExport& e : analysisExports()) {
        EXPECT_EQ(e.call(-1), 1) << e.name;
        EXPECT_EQ(e.call(10), 1) << e.name;
        EXPECT_EQ(e.call(5), 1) << e.name;
    }
    occupySlot(5);
    for (const indexedExport& e : analysisExports()) {
        EXPECT_EQ(e.call(5), 1) << e.name;
    }
    const auto lines = closeLogAndCollect();
    EXPECT_EQ(countOf(lines, "WARN not implemented!"), analysisExports().size());
    EXPECT_THAT(lines, Not(Contains(HasSubstr("ERROR"))));
}

TEST_F(apiFrameTest, initOpensTheLog) {
    int32_t index = 7;
    uint8_t count = 2;
    ZEL_CAM_Init(0, &index, &count);
    EXPECT_TRUE(dravix::libraryLog().isOpen());
}

TEST_F(apiFrameTest, destroyResultsForEmptyAndOccupiedSlots) {
    openCapturedLog();
    EXPECT_EQ(ZEL_CAM_Destroy(0), 1);
    EXPECT_THAT(capture_.lines(), Contains("ERROR main::ZEL_CAM_Destroy: CAMERA NOT INITIALIZED"));
    EXPECT_THAT(capture_.lines(), Not(Contains(HasSubstr("DEVICE NOT FOUND"))));

    // Slot 9 stands in for an index beyond the table but is not destroyed in its place.
    occupySlot(9);
    occupySlot(2);
    openCapturedLog();
    EXPECT_EQ(ZEL_CAM_Destroy(200), 1);
    EXPECT_NE(dravix::libraryState::instance().cameraAt(9), nullptr);
    openCapturedLog();
    EXPECT_EQ(ZEL_CAM_Destroy(2), 0);
    EXPECT_EQ(dravix::libraryState::instance().cameraAt(2), nullptr);
    EXPECT_FALSE(dravix::libraryLog().isOpen());

    const auto lines = capture_.lines();
    EXPECT_EQ(countOf(lines, "ERROR main::ZEL_CAM_Destroy: DEVICE NOT FOUND"), 1u);
    EXPECT_EQ(countOf(lines, "ERROR main::ZEL_CAM_Destroy: CAMERA NOT INITIALIZED"), 1u);
    EXPECT_EQ(countOf(lines, "INFO Session stopped"), 3u);
}

TEST_F(apiFrameTest, exportsBeforeAnyLogDropTheirMessagesWithoutHarm) {
    const fs::path early = home_.path() / "early.log";
    ZEL_CAM_setLogCallback(&logCapture::onMessage, &capture_, ZEL_CAM_LOG_ALL);
    ZEL_CAM_setLogFilePath(early.c_str());
    ZEL_CAM_setLogState(1, 1);
    ZEL_CAM_setLogLevel(ZEL_CAM_LOG_ALL);
    ZEL_CAM_stopLogCallback();
    EXPECT_EQ(ZEL_CAM_Close(0), 1);
    EXPECT_EQ(ZEL_CAM_Open(99), 1);
    EXPECT_EQ(ZEL_CAM_recStart(0), 1);
    char build[20];
    EXPECT_EQ(ZEL_CAM_GetApiBuild(build), 11);
    EXPECT_STREQ(build, "22.13.4.911");
    EXPECT_EQ(ZEL_CAM_getLogTotalErrorCnt(), 0u);
    EXPECT_EQ(ZEL_CAM_Destroy(1), 1);
    EXPECT_FALSE(dravix::libraryLog().isOpen());
    EXPECT_FALSE(fs::exists(early));

    openCapturedLog();
    EXPECT_EQ(ZEL_CAM_getLogTotalErrorCnt(), 0u);
    const auto lines = closeLogAndCollect();
    EXPECT_THAT(lines, Not(Contains(HasSubstr("main::"))));
    EXPECT_THAT(lines, Not(Contains("INFO API Build: 22.13.4.911")));
}

TEST_F(apiFrameTest, defaultLogFileFollowsTheUserConfiguration) {
    writeConfig("FILELOG_ENABLE=1\n");
    char version[20];
    ZEL_CAM_GetApiVersion(version);
    EXPECT_EQ(ZEL_CAM_Open(42), 1);
    EXPECT_EQ(ZEL_CAM_Destroy(0), 1);

    const std::string text = readText(home_.path() / "dravix.log");
    EXPECT_THAT(text, HasSubstr("INFO\t\tAPI Version: 2.2.0\n"));
    EXPECT_THAT(text, HasSubstr("ERROR\t\tmain::ZEL_CAM_Open: DEVICE NOT FOUND\n"));
    EXPECT_THAT(text, HasSubstr("INFO\t\tSession stopped\n"));
}

TEST_F(apiFrameTest, disabledLogQueuesNothingButStillCountsErrors) {
    writeConfig("LOG_DISABLE=1\n");
    openCapturedLog();
    EXPECT_EQ(ZEL_CAM_Close(-3), 1);
    EXPECT_EQ(ZEL_CAM_getLogTotalErrorCnt(), 1u);
    EXPECT_THAT(closeLogAndCollect(), IsEmpty());
}

TEST_F(apiFrameTest, configuredLevelsWidenTheClientsMasks) {
    writeConfig("LOG_LEVEL=2\nCALLBACK_LOG_LEVEL=4\n");
    char version[20];
    ZEL_CAM_GetApiVersion(version);
    captureLog(ZEL_CAM_LOG_ERROR);
    ZEL_CAM_setLogLevel(ZEL_CAM_LOG_ERROR | ZEL_CAM_LOG_INFO);
    occupySlot(1);
    EXPECT_EQ(ZEL_CAM_setAutorestart(1, 1), 1);  // WARN: queued (LOG_LEVEL) but not called back
    EXPECT_EQ(ZEL_CAM_Open(11), 1);              // ERROR: queued and called back
    char build[20];
    ZEL_CAM_GetApiBuild(build);  // INFO: queued and called back (CALLBACK_LOG_LEVEL)
    ZEL_CAM_setLogLevel(ZEL_CAM_LOG_ERROR);
    ZEL_CAM_GetApiBuild(build);  // INFO: no longer queued

    const auto lines = closeLogAndCollect();
    EXPECT_THAT(lines, Contains("ERROR main::ZEL_CAM_Open: DEVICE NOT FOUND"));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("WARN"))));
    EXPECT_EQ(countOf(lines, "INFO API Build: 22.13.4.911"), 1u);
}

TEST_F(apiFrameTest, logStateAndPathExportsRedirectTheLog) {
    openCapturedLog();
    const fs::path custom = home_.path() / "custom.log";
    ZEL_CAM_setLogFilePath(custom.c_str());
    ZEL_CAM_setLogState(1, 1);
    EXPECT_TRUE(fs::exists(custom));
    EXPECT_EQ(ZEL_CAM_SaveRAW(77, "raw"), 1);
    ZEL_CAM_setLogState(0, 1);
    EXPECT_EQ(ZEL_CAM_SaveRAW(78, "raw"), 1);
    EXPECT_EQ(ZEL_CAM_getLogTotalErrorCnt(), 2u);
    EXPECT_EQ(ZEL_CAM_Destroy(0), 1);

    const std::string text = readText(custom);
    EXPECT_EQ(text.find("main::ZEL_CAM_Destroy"), std::string::npos);
    std::istringstream lines(text);
    std::size_t notFound = 0;
    for (std::string line; std::getline(lines, line);) {
        notFound += line.find("main::ZEL_CAM_SaveRAW: DEVICE NOT FOUND") != std::string::npos;
    }
    EXPECT_EQ(notFound, 1u);
    EXPECT_FALSE(fs::exists(home_.path() / "dravix.log"));
}

// A path without a terminator that ends where readable memory ends: the page after it is
// inaccessible, so reading one byte too far faults.
class unterminatedText {
  public:
    explicit unterminatedText(std::size_t length) {
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        size_ = (length / page + 2) * page;
        void* memory =
            mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            throw std::runtime_error("mmap failed");
        }
        base_ = static_cast<char*>(memory);
        char* const guard = base_ + size_ - page;
        if (mprotect(guard, page, PROT_NONE) != 0) {
            munmap(base_, size_);
            throw std::runtime_error("mprotect failed");
        }
        text_ = guard - length;
        std::memset(text_, 'p', length);
    }
    ~unterminatedText() { munmap(base_, size_); }
    unterminatedText(const unterminatedText&) = delete;
    unterminatedText& operator=(const unterminatedText&) = delete;
    const char* text() const { return text_; }

  private:
    char* base_ = nullptr;
    std::size_t size_ = 0;
    char* text_ = nullptr;
};

TEST_F(apiFrameTest, logFilePathIsReadNoFurtherThanTheLongestSystemPath) {
    openCapturedLog();
    const std::size_t longest = PATH_MAX - 1;
    const unterminatedText path(longest);
    ZEL_CAM_setLogFilePath(path.text());
    EXPECT_EQ(dravix::libraryLog().filePath(), std::string(longest, 'p'));
    EXPECT_THAT(closeLogAndCollect(),
                Contains("WARN main::ZEL_CAM_setLogFilePath: path read up to 4095 characters"));
}

}  // namespace
