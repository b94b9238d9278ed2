// The block-protocol updates (components 0, 1, 10) through the exports, against the emulated
// camera's flash.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "firmwareTestSupport.h"

namespace {

using updateExport = int32_t (*)(int32_t, const char*);
using dravix::emu::emulatedFaultPlan;
using dravix::emu::wireKind;

struct blockCase {
    updateExport start;
    uint8_t component;
    std::size_t size;
};

class blockUpdateTest : public firmwareTest {};

TEST_F(blockUpdateTest, EveryComponentAndBlockBoundaryEndsWithTheFlashEqualToTheFile) {
    const blockCase cases[] = {
        {ZEL_CAM_Fx3FirmwareUpdate, 0, 1},       {ZEL_CAM_Fx3FirmwareUpdate, 0, 768},
        {ZEL_CAM_FpgaCcuFirmwareUpdate, 1, 769}, {ZEL_CAM_FpgaCcuFirmwareUpdate, 1, 1536},
        {ZEL_CAM_FpgaOsdGraficUpdate, 10, 1537}, {ZEL_CAM_FpgaOsdGraficUpdate, 10, 20000},
    };
    for (const blockCase& test : cases) {
        SCOPED_TRACE(testing::Message()
                     << "component " << int(test.component) << ", size " << test.size);
        const std::vector<uint8_t> image = patternImage(test.size, test.component);
        ASSERT_EQ(test.start(0, writeFile("image.bin", image).c_str()), 0);
        EXPECT_EQ(finishedResult(), 0);
        EXPECT_EQ(camera().blockFlash().flash(test.component), image);
        const std::vector<uint16_t> blocks = camera().blockFlash().blocksReceived();
        ASSERT_EQ(blocks.size(), (test.size + 767) / 768);
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            EXPECT_EQ(blocks[i], i);
        }
        EXPECT_EQ(camera().blockFlash().lastEndByte(), image[(blocks.size() - 1) * 768]);
        uint8_t percent = 0;
        int32_t a = 0;
        int32_t b = 0;
        EXPECT_EQ(ZEL_CAM_FpgaCcuFirmwareUpdateProgress(0, &percent, &a, &b), 0);
        EXPECT_EQ(percent, 100);
        EXPECT_EQ(a, 100);
        EXPECT_EQ(b, 100);
    }
    EXPECT_EQ(log_.waitFor("INFO update finished", 6), true);
}

// 1537 bytes: blocks 0 and 1 whole, block 2 with one byte and the rest of the buffer left
// from block 1; END carries the last block's first byte.
TEST_F(blockUpdateTest, WireTraceOfAThreeBlockImage) {
    const std::vector<uint8_t> image = patternImage(1537);
    camera().startRecording();
    ASSERT_EQ(ZEL_CAM_Fx3FirmwareUpdate(0, writeFile("fx3.img", image).c_str()), 0);
    ASSERT_EQ(finishedResult(), 0);
    std::vector<std::pair<wireKind, std::vector<uint8_t>>> trace;
    for (const auto& record : camera().recorded()) {
        if (record.kind != wireKind::input) {
            trace.emplace_back(record.kind, record.bytes);
        }
    }
    ASSERT_EQ(trace.size(), 8u);
    const std::vector<std::vector<uint8_t>> commandHeads = {{1, 0xC0, 0, 0, 0, 0x06, 0x01},
                                                            {1, 0xC1, 0, 0},
                                                            {1, 0xC1, 1, 0},
                                                            {1, 0xC1, 2, 0},
                                                            {1, 0xC2, image[1536]}};
    const std::size_t commandAt[] = {0, 1, 3, 5, 7};
    for (std::size_t i = 0; i < 5; ++i) {
        const auto& [kind, bytes] = trace[commandAt[i]];
        EXPECT_EQ(kind, wireKind::output);
        EXPECT_TRUE(std::equal(commandHeads[i].begin(), commandHeads[i].end(), bytes.begin()))
            << "command " << i;
    }
    for (std::size_t block = 0; block < 3; ++block) {
        const auto& [kind, bytes] = trace[2 + 2 * block];
        ASSERT_EQ(kind, wireKind::featureSet);
        ASSERT_EQ(bytes.size(), 1024u);
        EXPECT_EQ(bytes[0], 2);
        const std::size_t valid = block < 2 ? 768 : 1;
        EXPECT_TRUE(std::equal(image.begin() + block * 768, image.begin() + block * 768 + valid,
                               bytes.begin() + 1));
    }
    const std::vector<uint8_t>& last = trace[6].second;
    EXPECT_TRUE(std::equal(image.begin() + 769, image.begin() + 1536, last.begin() + 2));
}

TEST_F(blockUpdateTest, RefusedRequestsSendNothing) {
    const std::string directory = home_.path().string();
    const std::string fifo = (home_.path() / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = writeFile("huge.img", {});
    ASSERT_EQ(truncate(huge.c_str(), 65536ll * 768 + 1), 0);
    const struct {
        std::string path;
        std::string message;
    } cases[] = {
        {(home_.path() / "missing.img").string(),
         "ERROR camera::updateFirmware: can't open firmware path: " +
             (home_.path() / "missing.img").string()},
        {directory, "ERROR camera::updateFirmware: not a regular file: " + directory},
        {fifo, "ERROR camera::updateFirmware: not a regular file: " + fifo},
        {writeFile("empty.img", {}), "ERROR camera::updateFirmware: empty firmware file: " +
                                         (home_.path() / "empty.img").string()},
        {huge, "ERROR camera::updateFirmware: firmware file larger than 50331648 bytes: " + huge},
    };
    camera().startRecording();
    for (const auto& test : cases) {
        SCOPED_TRACE(test.path);
        EXPECT_EQ(ZEL_CAM_Fx3FirmwareUpdate(0, test.path.c_str()), 1);
        EXPECT_TRUE(log_.waitFor(test.message));
        uint8_t percent = 50;
        EXPECT_EQ(ZEL_CAM_Fx3FirwwareUpdateProgress(0, &percent), 1);
        EXPECT_EQ(percent, 0);
    }
    EXPECT_EQ(ZEL_CAM_Fx3FirmwareUpdate(0, nullptr), 1);
    EXPECT_TRUE(camera().recorded().empty());
}

TEST_F(blockUpdateTest, AFailedStepStopsTheUpdateAndTheCameraStaysUsable) {
    using action = emulatedFaultPlan::action;
    const struct {
        uint8_t command;
        int occurrence;
        action what;
        std::size_t blocksSent;
        std::string line;
    } cases[] = {
        {0xC0, 1, action::fail, 0, "ERROR update failed"},
        {0xC1, 1, action::fail, 1, "ERROR update failed"},
        {0xC1, 3, action::fail, 3, "ERROR update failed"},
        {0xC2, 1, action::fail, 4, "ERROR update failed"},
        // The host's own reply time-out: no reply ever comes.
        {0xC1, 2, action::timeOut, 2,
         "ERROR fx3Hid::hidWaitReponse: timeout for cmdID: 0xC1, timeout: 2000"},
    };
    const std::vector<uint8_t> image = patternImage(3000);
    const std::string path = writeFile("ccu.img", image);
    emulatedFaultPlan& faults = camera().blockFlash().faults();
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message()
                     << "command " << int(test.command) << " #" << test.occurrence);
        const int strikes = faults.strikes();
        faults.planAt(test.command, test.occurrence, test.what);
        ASSERT_EQ(ZEL_CAM_FpgaCcuFirmwareUpdate(0, path.c_str()), 0);
        EXPECT_EQ(finishedResult(), 1);
        EXPECT_EQ(faults.strikes(), strikes + 1);
        EXPECT_EQ(camera().blockFlash().blocksReceived().size(), test.blocksSent);
        EXPECT_TRUE(waitForLineStartingWith(test.line));
        uint8_t percent = 0;
        ZEL_CAM_Fx3FirwwareUpdateProgress(0, &percent);
        EXPECT_LT(percent, 100);
        ASSERT_EQ(ZEL_CAM_FpgaCcuFirmwareUpdate(0, path.c_str()), 0);
        EXPECT_EQ(finishedResult(), 0);
        EXPECT_EQ(camera().blockFlash().flash(1), image);
    }
    EXPECT_EQ(abortsLogged(), 0u);
}

// The device going away between two commands aborts the update, whatever the next command
// does; once END was answered the update stands, as when the camera restarts with its image.
TEST_F(blockUpdateTest, AnUnplugBetweenTwoCommandsAbortsTheUpdateOnce) {
    const struct {
        uint8_t command;
        int32_t result;
        std::size_t aborts;
    } cases[] = {{0xC0, 1, 1}, {0xC2, 0, 0}};
    const std::vector<uint8_t> image = patternImage(2000);
    const std::string path = writeFile("fx3.img", image);
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << "after command " << int(test.command));
        const std::size_t abortsBefore = abortsLogged();
        camera().blockFlash().faults().planAt(test.command, 1,
                                              emulatedFaultPlan::action::unplugAfterReply);
        ASSERT_EQ(ZEL_CAM_Fx3FirmwareUpdate(0, path.c_str()), 0);
        EXPECT_EQ(finishedResult(), test.result);
        EXPECT_EQ(abortsLogged() - abortsBefore, test.aborts);
        replugAfterLoss();
        ASSERT_EQ(ZEL_CAM_Fx3FirmwareUpdate(0, path.c_str()), 0);
        EXPECT_EQ(finishedResult(), 0);
        EXPECT_EQ(camera().blockFlash().flash(0), image);
    }
}

// The controller restarts after END, answered first or not at all. Either way the image is in
// its flash, the progress stays readable while it is away and after it came back, and the
// update sends nothing to the restarted device.
TEST_F(blockUpdateTest, TheCameraRestartsAfterEndAndIsUsableOnceBack) {
    using restart = dravix::emu::emulatedBlockFlash::restart;
    const struct {
        restart how;
        int32_t result;
        // Negative: stays away until the test plugs it in.
        std::chrono::milliseconds away;
    } cases[] = {{restart::afterReply, 0, std::chrono::milliseconds(-1)},
                 {restart::withoutReply, 1, std::chrono::milliseconds(50)}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.result == 0 ? "answered" : "unanswered");
        const std::vector<uint8_t> image = patternImage(2000, static_cast<uint8_t>(test.result));
        const std::size_t abortsBefore = abortsLogged();
        camera().setRestartTime(test.away);
        camera().blockFlash().setRestartAfterEnd(test.how);
        camera().clearRecording();
        camera().startRecording();
        ASSERT_EQ(ZEL_CAM_FpgaCcuFirmwareUpdate(0, writeFile("ccu.img", image).c_str()), 0);
        EXPECT_EQ(finishedResult(), test.result);
        EXPECT_EQ(camera().blockFlash().flash(1), image);
        const uint8_t expectedPercent = test.result == 0 ? 100 : 99;
        uint8_t percent = 0;
        if (test.away.count() < 0) {
            ASSERT_TRUE(eventually([] { return !cam()->isHidOpen(); }));
            EXPECT_EQ(ZEL_CAM_Fx3FirwwareUpdateProgress(0, &percent), test.result);
            EXPECT_EQ(percent, expectedPercent);
            camera().replug();
        }
        ASSERT_TRUE(eventually([] { return cam()->isHidOpen(); }));
        EXPECT_EQ(ZEL_CAM_Fx3FirwwareUpdateProgress(0, &percent), test.result);
        EXPECT_EQ(percent, expectedPercent);
        EXPECT_EQ(abortsLogged() - abortsBefore, test.result == 0 ? 0u : 1u);
        const std::vector<std::vector<uint8_t>> commands = sentCommands();
        ASSERT_FALSE(commands.empty());
        const auto end = std::find_if(commands.begin(), commands.end(),
                                      [](const auto& command) { return command[0] == 0xC2; });
        ASSERT_NE(end, commands.end());
        for (auto later = end + 1; later != commands.end(); ++later) {
            EXPECT_TRUE((*later)[0] < 0xC0 || (*later)[0] > 0xC2);
        }
        camera().blockFlash().setRestartAfterEnd(restart::none);
        ASSERT_EQ(ZEL_CAM_Close(0), 0);
        ASSERT_EQ(ZEL_CAM_Open(0), 0);
        const std::vector<uint8_t> next = patternImage(1000, 7);
        ASSERT_EQ(ZEL_CAM_FpgaCcuFirmwareUpdate(0, writeFile("next.img", next).c_str()), 0);
        EXPECT_EQ(finishedResult(), 0);
        EXPECT_EQ(camera().blockFlash().flash(1), next);
    }
}

// Close asks the update to end while END's successful reply is on its way: the device has the
// image, so the update's success stands and no abort is reported.
TEST_F(blockUpdateTest, ACancelAfterEndWasAnsweredKeepsTheSuccess) {
    const std::vector<uint8_t> image = patternImage(2000);
    camera().blockFlash().faults().planAt(0xC2, 1, emulatedFaultPlan::action::holdReply);
    ASSERT_EQ(ZEL_CAM_FpgaOsdGraficUpdate(0, writeFile("osd.img", image).c_str()), 0);
    ASSERT_TRUE(eventually([] { return camera().heldReplies() == 1; }));
    cam()->firmware().requestCancel();  // what Close does first
    camera().releaseHeldReplies();
    EXPECT_EQ(finishedResult(), 0);
    ASSERT_EQ(ZEL_CAM_Close(0), 0);
    uint8_t percent = 0;
    EXPECT_EQ(ZEL_CAM_Fx3FirwwareUpdateProgress(0, &percent), 0);
    EXPECT_EQ(percent, 100);
    EXPECT_EQ(camera().blockFlash().flash(10), image);
    EXPECT_EQ(abortsLogged(), 0u);
    EXPECT_TRUE(log_.waitFor("INFO update finished"));
}

TEST_F(blockUpdateTest, ASecondRequestWhileOneRunsIsRefusedAndTheFirstCompletes) {
    const std::vector<uint8_t> first = patternImage(5000, 1);
    const std::string firstPath = writeFile("first.img", first);
    const std::string secondPath = writeFile("second.img", patternImage(900, 2));
    // The first update waits for its START reply, kept back until the second was refused.
    camera().queueHeldReply();
    ASSERT_EQ(ZEL_CAM_Fx3FirmwareUpdate(0, firstPath.c_str()), 0);
    ASSERT_TRUE(eventually([] { return camera().heldReplies() == 1; }));
    EXPECT_EQ(ZEL_CAM_Fx3FirmwareUpdate(0, secondPath.c_str()), 1);
    camera().releaseHeldReplies();
    EXPECT_TRUE(log_.waitFor("ERROR camera::updateFirmware: can't stop old update thread"));
    EXPECT_EQ(finishedResult(), 0);
    EXPECT_EQ(camera().blockFlash().flash(0), first);
}

// The poller sees the percentage rise only, and 100 only together with the final result.
TEST_F(blockUpdateTest, ProgressPolledConcurrentlyNeverGoesBackwards) {
    const std::string path = writeFile("osd.img", patternImage(300 * 768));
    std::atomic<bool> polling{true};
    std::vector<uint8_t> seen;
    std::thread poller([&] {
        while (polling) {
            uint8_t percent = 0;
            const int32_t result = ZEL_CAM_FpgaHeadFirmwareUpdateProgress(0, &percent);
            if (percent == 100) {
                EXPECT_EQ(result, 0);
            }
            seen.push_back(percent);
        }
    });
    ASSERT_EQ(ZEL_CAM_FpgaOsdGraficUpdate(0, path.c_str()), 0);
    EXPECT_EQ(finishedResult(), 0);
    polling = false;
    poller.join();
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    ASSERT_FALSE(seen.empty());
}

TEST_F(blockUpdateTest, CloseDuringAnUpdateAbortsItAndSendsNothingAfterwards) {
    const std::string path = writeFile("big.img", patternImage(2000 * 768));
    ASSERT_EQ(ZEL_CAM_Fx3FirmwareUpdate(0, path.c_str()), 0);
    ASSERT_TRUE(eventually([] { return camera().blockFlash().blocksReceived().size() > 3; }));
    ASSERT_EQ(ZEL_CAM_Close(0), 0);
    EXPECT_TRUE(cam()->firmware().progress().finished());
    EXPECT_TRUE(log_.waitFor("ERROR camera::updateThread: update aborted"));
    // Still readable while closed: the update ran on this camera.
    uint8_t percent = 0;
    EXPECT_EQ(ZEL_CAM_Fx3FirwwareUpdateProgress(0, &percent), 1);
    EXPECT_LT(percent, 100);
    camera().startRecording();
    ASSERT_EQ(ZEL_CAM_Open(0), 0);
    EXPECT_TRUE(camera().blockFlash().flash(0).empty());
    for (const auto& command : sentCommands()) {
        EXPECT_TRUE(command[0] < 0xC0 || command[0] > 0xC2);
    }
}

TEST_F(blockUpdateTest, UnplugDuringAnUpdateFailsIt) {
    const std::string path = writeFile("unplug.img", patternImage(10 * 768));
    camera().blockFlash().faults().planAt(0xC1, 4, emulatedFaultPlan::action::unplug);
    ASSERT_EQ(ZEL_CAM_Fx3FirmwareUpdate(0, path.c_str()), 0);
    EXPECT_EQ(finishedResult(), 1);
    EXPECT_EQ(camera().blockFlash().blocksReceived().size(), 4u);
    EXPECT_TRUE(camera().blockFlash().flash(0).empty());
    camera().replug();
}

// No other command lands between a BLOCK and its feature report.
TEST_F(blockUpdateTest, ClientCommandsStayOutsideABlockAndItsReport) {
    const std::vector<uint8_t> image = patternImage(200 * 768);
    std::atomic<bool> reading{true};
    std::thread client([&] {
        const uint8_t reg[] = {0x00, 0x10};
        uint8_t data[8] = {};
        while (reading) {
            ZEL_CAM_ReadI2c(0, 0x50, reg, sizeof reg, data, sizeof data);
        }
    });
    camera().startRecording();
    ASSERT_EQ(ZEL_CAM_FpgaCcuFirmwareUpdate(0, writeFile("ccu.img", image).c_str()), 0);
    EXPECT_EQ(finishedResult(), 0);
    reading = false;
    client.join();
    EXPECT_EQ(camera().blockFlash().flash(1), image);
    bool blockOpen = false;
    for (const auto& record : camera().recorded()) {
        if (record.kind == wireKind::output) {
            EXPECT_FALSE(blockOpen) << "a command between BLOCK and its report";
            blockOpen = record.bytes[1] == 0xC1;
        } else if (record.kind == wireKind::featureSet) {
            blockOpen = false;
        }
    }
}

}  // namespace

namespace {

// Two emulated cameras; the library opens the first as camera 0.
class twoCameraUpdateTest : public firmwareTest {
  protected:
    void SetUp() override {
        firmwareTest::SetUp();
        dravix::libraryState::instance().destroyAll();
        cameras().configure(2);
        int32_t index = 9;
        uint8_t count = 0;
        ASSERT_EQ(ZEL_CAM_Init(0, &index, &count), 0);
        ASSERT_EQ(ZEL_CAM_Open(0), 0);
        cam()->firmware().setClock(clock_);
    }
};

TEST_F(twoCameraUpdateTest, AnotherCamerasUnplugDoesNotAbortTheUpdate) {
    const std::vector<uint8_t> image = patternImage(4 * 1024 * 1024);
    dravix::emu::emulatedCamera& own = *cameras().camera(1);
    own.setReplyLatency(std::chrono::microseconds(0));
    ASSERT_TRUE(eventually([] { return cam()->cameraCount() == 2; }));
    ASSERT_EQ(ZEL_CAM_Fx3FirmwareUpdate(0, writeFile("fx3.img", image).c_str()), 0);
    ASSERT_TRUE(eventually([&] { return own.blockFlash().blocksReceived().size() > 3; }));
    cameras().camera(2)->unplug();
    EXPECT_TRUE(eventually([] { return cam()->cameraCount() == 1; }));
    EXPECT_EQ(finishedResult(), 0);
    EXPECT_EQ(own.blockFlash().flash(0), image);
    cameras().camera(2)->replug();
}

}  // namespace
