#include "device/cFpgaHead.h"

namespace dravix {

namespace {
using std::chrono::milliseconds;
constexpr milliseconds kArmWait{100};
constexpr milliseconds kPowerWait{2000};
}  // namespace

cFpgaHead::cFpgaHead(updateSession& session) : session_(session) {}

uint8_t cFpgaHead::firmwareThread() {
    updateProgress& progress = session_.progress();
    uint8_t result = 1;
    if (fileAccepted()) {
        progress.advance(file_.recordsRead() * jtagBinFile::kRecordSize);
        result = session_.commands().setFx3IntrHandling(false);
        if (result == 0) {
            result = stream();
            // The controller's interrupts come back on also after a failure; its result then
            // does not replace the first error.
            if (result != 0) {
                session_.commands().setFx3IntrHandling(true);
            } else {
                result = restartHead();
            }
        }
    }
    progress.completeAll();
    session_.log().verbose("FPGA HEAD Firmware Update finished");
    return result;
}

bool cFpgaHead::fileAccepted() {
    switch (file_.parse(session_.image())) {
        case jtagBinFile::problem::none:
            return true;
        case jtagBinFile::problem::wrongFile:
            session_.log().error("cFPpgaHead::firmwareThread WRONG FILE");
            return false;
        case jtagBinFile::problem::crcMismatch:
            session_.log().error("cFpgaHead::firmwareThread CRC\n\t%.8X != %.8X", file_.storedCrc(),
                                 file_.computedCrc());
            return false;
    }
    return false;
}

uint8_t cFpgaHead::stream() {
    const uint8_t arm = kArm;
    const uint8_t reg = kControlRegister;
    if (session_.commands().i2cWrite(kAddress, &reg, 1, &arm, 1) != 0) {
        return 1;
    }
    if (!session_.pause(kArmWait)) {
        return 1;
    }
    jtagSchedule schedule(file_.pauses(), file_.streamLength());
    std::size_t sent = 0;
    std::size_t sinceCheck = 0;
    while (sent < file_.streamLength()) {
        if (!pauseAt(schedule, sent) || session_.cancelled()) {
            return 1;
        }
        const std::size_t length = schedule.chunkLength(sent);
        if (sendChunk(file_.streamOffset() + sent, length) != 0) {
            return 1;
        }
        session_.progress().advance(length);
        sent += length;
        sinceCheck += length;
        if (sinceCheck >= kStatusInterval) {
            sinceCheck = 0;
            if (checkStatus() != 0) {
                return 1;
            }
        }
    }
    return checkStatus();
}

bool cFpgaHead::pauseAt(jtagSchedule& schedule, std::size_t sent) {
    for (const uint16_t delay : schedule.takeDuePauses(sent)) {
        if (delay >= kLoggedPauseMs) {
            session_.log().info("cFpgaHead::firmwareThread sleep %d ms", delay);
        }
        if (!session_.pause(milliseconds(delay))) {
            return false;
        }
    }
    return true;
}

// One chunk is one I2C write through a feature report, which holds the channel throughout.
uint8_t cFpgaHead::sendChunk(std::size_t offset, std::size_t length) {
    const uint8_t reg = kDataRegister;
    return session_.commands().i2cWrite(kAddress, &reg, 1, session_.image().data() + offset,
                                        static_cast<uint16_t>(length));
}

// An unread status is a failure: a zero byte would pass both checks.
uint8_t cFpgaHead::checkStatus() {
    const uint8_t reg = kControlRegister;
    uint8_t status = 0;
    if (session_.commands().i2cRead(kAddress, &reg, 1, &status, 1) != 0) {
        session_.log().error("cFpgaHead::firmwareThread status read failed");
        return 1;
    }
    if ((status & kTdoBit) != 0) {
        session_.log().error("cFpgaHead::firmwareThread TDO JTAG");
        return 1;
    }
    if ((status & kBufBit) != 0) {
        session_.log().error("cFpgaHead::firmwareThread BUF JTAG");
        return 1;
    }
    return 0;
}

// Interrupt handling and head power come back on even when a cancel cuts a wait short.
uint8_t cFpgaHead::restartHead() {
    deviceCommands& commands = session_.commands();
    commands.setHeadPower(false);
    bool waited = session_.pause(kPowerWait);
    const uint8_t result = commands.setFx3IntrHandling(true);
    if (waited) {
        waited = session_.pause(kPowerWait);
    }
    if (commands.setHeadPower(true) != 0) {
        session_.log().error("cFpgaHead::firmwareThread head power on failed");
        return 1;
    }
    return waited ? result : 1;
}

}  // namespace dravix
