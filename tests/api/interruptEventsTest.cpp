// The camera's events through the exports against the emulated camera: bursts handled in order,
// a storm of reports, a close while a refresh set waits for a silent device, the status record
// refilled after a replug, and callbacks that call their camera's exports.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "emu/emulatedInterrupts.h"
#include "eventually.h"
#include "openCameraTest.h"

namespace {

using namespace std::chrono_literals;
using dravix::emu::emulatedInterrupts;
using dravix::emu::wireKind;

// Keeps a copy of every status record handed to the status callback.
class statusCopies {
  public:
    static int callback(DeviceStatus* status, void* user) {
        auto* self = static_cast<statusCopies*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->copies_.push_back(*status);
        return 0;
    }
    // True once some record satisfies `match`.
    template <typename Match>
    bool waitFor(Match match) {
        return eventually([&] {
            std::lock_guard<std::mutex> lock(mutex_);
            return std::any_of(copies_.begin(), copies_.end(), match);
        });
    }

    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        copies_.clear();
    }

  private:
    std::mutex mutex_;
    std::vector<DeviceStatus> copies_;
};

class interruptEventsTest : public openCameraTest {
  protected:
    void inject(uint8_t source, uint32_t mask) {
        camera().injectInterrupt(1, emulatedInterrupts::statusData(source, mask));
    }
    // The command ids the camera received while recording.
    std::vector<uint8_t> commandsSent() const {
        std::vector<uint8_t> ids;
        for (const auto& record : camera().recorded()) {
            if (record.kind == wireKind::output) {
                ids.push_back(record.bytes[1]);
            }
        }
        return ids;
    }
    // The DEBUG lines that name a decoded interrupt, in the order logged.
    std::vector<std::string> interruptLines() const {
        std::vector<std::string> found;
        for (const std::string& line : log_.lines()) {
            if (line.rfind("DEBUG Interrupt, type: ", 0) == 0) {
                found.push_back(line);
            }
        }
        return found;
    }
    bool identityFilled(const DeviceStatus& s) const {
        const auto& id = camera().identity();
        return s.versionFx3.patch == id.version(0).patch &&
               s.versionElc.patch == id.version(3).patch &&
               s.serialFx3.number == id.serial(0).number && s.hardwareRevElc == id.hardwareRev(3);
    }

    statusCopies status_;
};

// Start, head connected and a key press, sent faster than the first refresh set runs: every one
// is handled, in the order sent.
TEST_F(interruptEventsTest, aBurstDuringARefreshSetIsHandledInOrder) {
    camera().setReplyLatency(5ms);
    camera().identity().setHeadKeys(0x15, 0x02);
    inject(2, 0x01);
    inject(2, 0x02);
    inject(1, 0x04);
    ASSERT_TRUE(log_.waitFor("INFO Head Keys:   15 - 2"));
    EXPECT_EQ(interruptLines(),
              (std::vector<std::string>{
                  "DEBUG Interrupt, type: FX3 (2)\n\t0x1: status: INTR_FX3_APP_STARTED ",
                  "DEBUG Interrupt, type: FX3 (2)\n\t0x2: status: INTR_FX3_HEAD_CONNECTED ",
                  "DEBUG Interrupt, type: HEAD (1)\n\t0x4: status: INFO_KeyPressed "}));
}

// A thousand reports at once: nothing breaks, the newest are handled, and the camera still
// answers.
TEST_F(interruptEventsTest, aStormOfReportsLeavesTheCameraWorking) {
    constexpr int kStorm = 1000;
    for (int i = 0; i < kStorm; ++i) {
        inject(3, static_cast<uint32_t>(i));
    }
    camera().identity().setHeadKeys(0x21, 0x43);
    inject(1, 0x04);
    ASSERT_TRUE(log_.waitFor("INFO Head Keys:   21 - 43"));
    EXPECT_LE(interruptLines().size(), static_cast<std::size_t>(kStorm + 1));
    uint32_t serial = 0;
    EXPECT_EQ(ZEL_CAM_Fx3GetSerialNumber(0, &serial), 0);
    EXPECT_NE(serial, 0u);
}

// The camera stops answering during the start's refresh set: the close abandons the command it
// waits for and sends no further one.
TEST_F(interruptEventsTest, aCloseDuringARefreshSetAgainstASilentDeviceSendsNoMore) {
    for (int i = 0; i < 20; ++i) {
        camera().queueNoReply();
    }
    camera().startRecording();
    inject(2, 0x01);
    ASSERT_TRUE(eventually([&] { return !commandsSent().empty(); }));
    EXPECT_EQ(ZEL_CAM_Close(0), 0);
    EXPECT_EQ(commandsSent(), std::vector<uint8_t>{0x02});
    EXPECT_TRUE(log_.waitFor("ERROR fx3Hid::hidWaitReponse: wait abandoned (cmdID: 0x02)"));
    const auto lines = log_.lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("timeout for cmdID") != std::string::npos;
                            }),
              0);
}

// The camera's start announcement is lost while its HID node is away: the record is refilled
// from the camera after the reopen, also when the HID node returns after the video node.
TEST_F(interruptEventsTest, theIdentityIsRefilledAfterAReplug) {
    ASSERT_EQ(ZEL_CAM_StatusCallback(0, &statusCopies::callback, &status_), 0);
    for (bool hidLater : {false, true}) {
        SCOPED_TRACE(hidLater ? "HID after video" : "together");
        camera().unplug();
        ASSERT_TRUE(status_.waitFor([](const DeviceStatus& s) {
            const DeviceStatus zero{};
            return std::equal(reinterpret_cast<const uint8_t*>(&s),
                              reinterpret_cast<const uint8_t*>(&s) + sizeof s,
                              reinterpret_cast<const uint8_t*>(&zero));
        }));
        status_.clear();
        if (hidLater) {
            camera().replugVideo();
            ASSERT_TRUE(status_.waitFor([](const DeviceStatus& s) { return s.cameraCount == 1; }));
        }
        camera().replug();
        EXPECT_TRUE(status_.waitFor([&](const DeviceStatus& s) { return identityFilled(s); }));
    }
}

std::atomic<int> exportResult{-1};
std::atomic<uint32_t> exportSerial{0};

int callExportFromStatus(DeviceStatus*, void*) {
    uint32_t serial = 0;
    const int result = ZEL_CAM_Fx3GetSerialNumber(0, &serial);
    exportSerial = serial;
    exportResult = result;
    return 0;
}

// A status callback on the interrupt thread may send its own camera's commands.
TEST_F(interruptEventsTest, aStatusCallbackMayCallItsCamerasExports) {
    ASSERT_EQ(ZEL_CAM_StatusCallback(0, &callExportFromStatus, nullptr), 0);
    exportResult = -1;
    camera().pressHeadKeys(0x31, 0x00);
    ASSERT_TRUE(eventually([] { return exportResult.load() != -1; }));
    EXPECT_EQ(exportResult.load(), 0);
    const auto& serial = camera().identity().serial(0);
    EXPECT_EQ(exportSerial.load() & 0xFF, serial.s0);
}

}  // namespace
