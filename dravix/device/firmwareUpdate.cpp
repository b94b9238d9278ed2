#include "device/firmwareUpdate.h"

#include <vector>

#include "device/blockProtocol.h"
#include "device/cFpgaHead.h"
#include "device/firmwareFile.h"
#include "device/flashLoader.h"
#include "device/steadyUpdateClock.h"
#include "platform/libraryThread.h"

namespace dravix {

namespace {

enum class method { blockProtocol, flashLoader, jtag };

struct componentKind {
    uint8_t component;
    const char* name;
    method how;
    // Files above this size are refused before anything is allocated or sent.
    uint64_t maxSize;
    // The I2C device of the flash loader and JTAG methods.
    uint8_t address;
};

constexpr uint64_t kMaxJtagImage = 64ull * 1024 * 1024;

constexpr componentKind kKinds[] = {
    {0, "FX3 firmware update", method::blockProtocol, blockProtocol::kMaxImageSize, 0},
    {1, "FPGA firmware update", method::blockProtocol, blockProtocol::kMaxImageSize, 0},
    {10, "FPGA OSD Graphic update", method::blockProtocol, blockProtocol::kMaxImageSize, 0},
    {3, "ELC firmware update", method::flashLoader, flashLoaderImage::kMaxFileSize, 0x78},
    {6, "user control firmware update", method::flashLoader, flashLoaderImage::kMaxFileSize, 0x32},
    {7, "LED firmware update", method::flashLoader, flashLoaderImage::kMaxFileSize, 0x74},
    {4, "FPGA head firmware update", method::jtag, kMaxJtagImage, 0x78},
};

const componentKind* kindOf(uint8_t component) {
    for (const componentKind& kind : kKinds) {
        if (kind.component == component) {
            return &kind;
        }
    }
    return nullptr;
}

}  // namespace

firmwareUpdate::firmwareUpdate(logger& log, DeviceStatus& status, std::recursive_mutex& statusMutex)
    : log_(log),
      status_(status),
      statusMutex_(statusMutex),
      clock_(&steadyUpdateClock::instance()) {}

firmwareUpdate::~firmwareUpdate() {
    cancel_.set();
}

void firmwareUpdate::setClock(updateClock& clock) {
    std::lock_guard<std::mutex> lock(requestMutex_);
    clock_ = &clock;
}

uint8_t firmwareUpdate::start(uint8_t component, const std::string& path,
                              std::shared_ptr<fx3Hid> channel) {
    std::lock_guard<std::mutex> lock(requestMutex_);
    if (!previousUpdateEnded()) {
        log_.error("camera::updateFirmware: can't stop old update thread");
        return 1;
    }
    std::vector<uint8_t> image;
    if (!readImage(component, path, image)) {
        progress_.refuse(1);
        return 1;
    }
    if (channel == nullptr) {
        log_.error("camera::updateFirmware: HID interface is not open");
        progress_.refuse(1);
        return 1;
    }
    cancel_.reset();
    ended_.reset();
    progress_.begin(image.size());
    auto session =
        std::make_unique<updateSession>(log_, std::move(image), std::move(channel), status_,
                                        statusMutex_, progress_, *clock_, cancel_);
    thread_.start([this, component, owned = session.release()] {
        run(component, std::unique_ptr<updateSession>(owned));
    });
    return 0;
}

bool firmwareUpdate::previousUpdateEnded() {
    if (!thread_.joinable()) {
        return true;
    }
    if (!clock_->waitFor(ended_, kPreviousUpdateWait)) {
        return false;
    }
    thread_.join();
    return true;
}

bool firmwareUpdate::readImage(uint8_t component, const std::string& path,
                               std::vector<uint8_t>& image) {
    const componentKind* kind = kindOf(component);
    if (kind == nullptr) {
        log_.error("camera::updateFirmware: unknown component: %d", component);
        log_.error("camera::updateFirmware: can't open firmware path: %s", path.c_str());
        return false;
    }
    log_.info("%s", kind->name);
    switch (firmwareFile::read(path, kind->maxSize, image)) {
        case firmwareFile::outcome::ok:
            break;
        case firmwareFile::outcome::cannotOpen:
            log_.error("camera::updateFirmware: can't open firmware path: %s", path.c_str());
            return false;
        case firmwareFile::outcome::notRegular:
            log_.error("camera::updateFirmware: not a regular file: %s", path.c_str());
            return false;
        case firmwareFile::outcome::tooLarge:
            log_.error("camera::updateFirmware: firmware file larger than %llu bytes: %s",
                       static_cast<unsigned long long>(kind->maxSize), path.c_str());
            return false;
        case firmwareFile::outcome::readFailed:
            log_.error("camera::updateFirmware: can't read firmware path: %s", path.c_str());
            return false;
    }
    log_.info("update size: %d", static_cast<int>(image.size()));
    if (image.empty()) {
        log_.error("camera::updateFirmware: empty firmware file: %s", path.c_str());
        return false;
    }
    return true;
}

// The final result is stored before the image is released and the end is signalled.
void firmwareUpdate::run(uint8_t component, std::unique_ptr<updateSession> session) {
    uint8_t result = 1;
    libraryThread::run("camera::updateThread", [&] { result = runMethod(component, *session); });
    if (result != 0) {
        session->cancelled();  // names a cancel as the cause of the failure
    }
    progress_.finish(result);
    session.reset();
    ended_.set();
}

uint8_t firmwareUpdate::runMethod(uint8_t component, updateSession& session) {
    const componentKind& kind = *kindOf(component);
    switch (kind.how) {
        case method::blockProtocol:
            return blockProtocol(session, component).run();
        case method::flashLoader:
            return flashLoader(session, kind.address).run();
        case method::jtag:
            return cFpgaHead(session).firmwareThread();
    }
    return 1;
}

void firmwareUpdate::requestCancel() {
    cancel_.set();
}

void firmwareUpdate::cancelAndJoin() {
    cancel_.set();
    if (libraryThread::isCurrent()) {
        return;
    }
    std::lock_guard<std::mutex> lock(requestMutex_);
    cancel_.set();  // a start() that ran meanwhile cleared it
    thread_.join();
}

}  // namespace dravix
