// The flash-loader updates (components 3, 6, 7) through the exports, against the emulated
// controllers' loaders.
#include <gtest/gtest.h>

#include "firmwareTestSupport.h"

namespace {

using dravix::emu::emulatedFaultPlan;
using dravix::emu::emulatedFlashLoader;
using dravix::emu::wireKind;
using updateExport = int32_t (*)(int32_t, const char*);

constexpr std::size_t kProgramOffset = 1152;

// A loader file of `size` bytes: kind 2, bytes 1-127 0xFF, discarded bytes, then a program with
// block `erasedBlock` (counted from the program's start) all 0xFF.
std::vector<uint8_t> loaderFile(std::size_t size, int erasedBlock = -1) {
    std::vector<uint8_t> file = patternImage(size, 9);
    file[0] = 2;
    std::fill(file.begin() + 1, file.begin() + 128, 0xFF);
    if (erasedBlock >= 0) {
        std::fill_n(file.begin() + kProgramOffset + erasedBlock * 128, 128, 0xFF);
    }
    return file;
}

class loaderUpdateTest : public firmwareTest {
  protected:
    // The flash holds 0xFF before the program and the program from 1024 on.
    static void expectProgramIn(const emulatedFlashLoader& loader,
                                const std::vector<uint8_t>& file) {
        const auto flash = loader.flash();
        EXPECT_TRUE(std::all_of(flash.begin(), flash.begin() + 1024,
                                [](uint8_t byte) { return byte == 0xFF; }));
        EXPECT_TRUE(std::equal(file.begin() + kProgramOffset, file.end(), flash.begin() + 1024));
    }
    static uint8_t finishedPercent() {
        uint8_t percent = 0;
        int32_t a = 7;
        ZEL_CAM_UpHeadFirmwareUpdateProgress(0, &percent, &a);
        EXPECT_EQ(a, 0);
        return percent;
    }
};

TEST_F(loaderUpdateTest, EveryControllerEndsWithItsFlashHoldingTheProgram) {
    const struct {
        updateExport start;
        uint8_t address;
        std::size_t size;
        int erasedBlock;
        std::size_t blocks;
    } cases[] = {
        {ZEL_CAM_UpHeadFirmwareUpdate, 0x78, 1153, -1, 1},       // one byte of program
        {ZEL_CAM_UpUFTFirmwareUpdate, 0x32, 1280, -1, 2},        // its tail block repeats it
        {ZEL_CAM_UpLedFirmwareUpdate, 0x74, 32767, -1, 247},     // the largest block count
        {ZEL_CAM_UpHeadFirmwareUpdate, 0x78, 1152 + 640, 2, 5},  // an erased block is skipped
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << "size " << test.size);
        const std::vector<uint8_t> file = loaderFile(test.size, test.erasedBlock);
        emulatedFlashLoader& loader = camera().flashLoader(test.address);
        const std::size_t before = loader.blocksWritten().size();
        ASSERT_EQ(test.start(0, writeFile("loader.bin", file).c_str()), 0);
        EXPECT_EQ(finishedResult(), 0);
        EXPECT_EQ(finishedPercent(), 100);
        expectProgramIn(loader, file);
        EXPECT_EQ(loader.blocksWritten().size() - before, test.blocks);
        EXPECT_EQ(cam()->firmware().progress().total(), test.blocks);
        EXPECT_FALSE(loader.inLoader());
        EXPECT_TRUE(camera().identity().headInterrupts());
    }
}

TEST_F(loaderUpdateTest, WireTraceAndPausesOfAOneBlockProgram) {
    camera().startRecording();
    ASSERT_EQ(ZEL_CAM_UpUFTFirmwareUpdate(0, writeFile("uft.bin", loaderFile(1153)).c_str()), 0);
    ASSERT_EQ(finishedResult(), 0);
    const std::vector<std::string> expected = {
        "ctrl 83 0",   "write 32 58", "write 32 58", "write 32 83", "read 32 25", "write 32 51",
        "write 32 52", "read 32 25",  "write 32 53", "cmd E2",      "read 32 25", "read 32 44",
        "cmd E2",      "ctrl 83 1",   "write 32 54", "ctrl 83 1",
    };
    EXPECT_EQ(commandTrace(camera().recorded()), expected);
    using std::chrono::milliseconds;
    const std::vector<milliseconds> pauses = {milliseconds(30), milliseconds(300),
                                              milliseconds(100), milliseconds(600),
                                              milliseconds(20)};
    EXPECT_EQ(clock_.waits(), pauses);
}

TEST_F(loaderUpdateTest, FilesThatAreNoLoaderImageSendNothing) {
    std::vector<uint8_t> badKind = loaderFile(2000);
    badKind[0] = 4;
    std::vector<uint8_t> badFill = loaderFile(2000);
    badFill[127] = 0;
    const std::vector<uint8_t> cases[] = {badKind, badFill, loaderFile(1152), loaderFile(1151),
                                          std::vector<uint8_t>(1, 2)};
    camera().startRecording();
    for (const auto& file : cases) {
        SCOPED_TRACE(testing::Message() << "size " << file.size());
        ASSERT_EQ(ZEL_CAM_UpHeadFirmwareUpdate(0, writeFile("bad.bin", file).c_str()), 0);
        EXPECT_EQ(finishedResult(), 1);
        EXPECT_LT(finishedPercent(), 100);
    }
    EXPECT_EQ(ZEL_CAM_UpHeadFirmwareUpdate(0, writeFile("big.bin", loaderFile(32768)).c_str()), 1);
    EXPECT_TRUE(camera().recorded().empty());
    EXPECT_TRUE(log_.waitFor("ERROR camera::elcUpdate: not a flash loader image", 5));
}

TEST_F(loaderUpdateTest, EachFailingStepEndsWithItsCodeAndTheHeadInterruptsOn) {
    const auto failAt = [](uint8_t command, int first, int last) {
        return [=](emulatedFlashLoader& loader) {
            for (int occurrence = first; occurrence <= last; ++occurrence) {
                loader.faults().planAt(command, occurrence, emulatedFaultPlan::action::fail);
            }
        };
    };
    const struct {
        const char* what;
        std::function<void(emulatedFlashLoader&)> fault;
        int32_t result;
        std::string message;
    } cases[] = {
        {"first poll fails", failAt('%', 1, 11), 41, ""},
        {"loader never ready",
         [](emulatedFlashLoader& loader) { loader.setBusyPolls(emulatedFlashLoader::kNeverReady); },
         42, "ERROR camera::elcUpdate: WRONG FLASHLOAD VERSION"},
        {"query fails", failAt('Q', 1, 1), 43, ""},
        {"erase fails", failAt('R', 1, 1), 44, ""},
        {"block write fails", failAt('S', 2, 2), 45, ""},
        {"block not acknowledged", failAt('%', 4, 14), 42,
         "ERROR camera::elcUpdate: write error block 9"},
        {"read-back fails", failAt('D', 1, 1), 46, ""},
        {"read-back not zero", [](emulatedFlashLoader& loader) { loader.setVerifyFault(true); }, 47,
         "ERROR camera::elcUpdate: 47 400"},
        {"terminate fails", failAt('T', 1, 1), 48, ""},
        {"block write times out",
         [](emulatedFlashLoader& loader) {
             loader.faults().planAt('S', 1, emulatedFaultPlan::action::timeOut);
         },
         45, "ERROR fx3Hid::hidWaitReponse: timeout for cmdID: 0xE2, timeout: 1000"},
        {"the first code stays",
         [&](emulatedFlashLoader& loader) {
             failAt('S', 1, 1)(loader);
             failAt('T', 1, 1)(loader);
         },
         45, ""},
    };
    const std::vector<uint8_t> file = loaderFile(1152 + 256);
    const std::string path = writeFile("head.bin", file);
    emulatedFlashLoader& loader = camera().flashLoader(0x78);
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        test.fault(loader);
        ASSERT_EQ(ZEL_CAM_UpHeadFirmwareUpdate(0, path.c_str()), 0);
        EXPECT_EQ(finishedResult(), test.result);
        EXPECT_LT(finishedPercent(), 100);
        if (!test.message.empty()) {
            EXPECT_TRUE(waitForLineStartingWith(test.message));
        }
        EXPECT_TRUE(camera().identity().headInterrupts());
        loader.faults().clear();
        loader.setBusyPolls(0);
        loader.setVerifyFault(false);
        if (loader.inLoader()) {
            loader.write('T', file.data(), 1);  // as a power cycle would
        }
        ASSERT_EQ(ZEL_CAM_UpHeadFirmwareUpdate(0, path.c_str()), 0);
        EXPECT_EQ(finishedResult(), 0);
        expectProgramIn(loader, file);
    }
}

// The device going away after the loader's first command aborts the update, though the
// following 'X' is not checked: the update stops at the next pause.
TEST_F(loaderUpdateTest, AnUnplugBetweenTwoCommandsAbortsTheUpdateOnce) {
    const std::vector<uint8_t> file = loaderFile(1152 + 256);
    const std::string path = writeFile("uft.bin", file);
    emulatedFlashLoader& loader = camera().flashLoader(0x32);
    const std::size_t abortsBefore = abortsLogged();
    loader.faults().planAt('X', 1, emulatedFaultPlan::action::unplugAfterReply);
    ASSERT_EQ(ZEL_CAM_UpUFTFirmwareUpdate(0, path.c_str()), 0);
    EXPECT_EQ(finishedResult(), 1);
    EXPECT_EQ(loader.faults().strikes(), 1);
    EXPECT_EQ(abortsLogged() - abortsBefore, 1u);
    EXPECT_TRUE(loader.blocksWritten().empty());
    replugAfterLoss();
    ASSERT_EQ(ZEL_CAM_UpUFTFirmwareUpdate(0, path.c_str()), 0);
    EXPECT_EQ(finishedResult(), 0);
    expectProgramIn(loader, file);
}

}  // namespace
