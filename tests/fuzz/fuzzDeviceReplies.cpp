// Fuzz target of the camera's device commands: whatever the camera answers (any status, any
// echo, any bytes) must never crash an operation, and what reaches the status record stays in
// range.
//
// The input is consumed in slices of 62 bytes, one per command the camera answers: a status
// byte, then the reply payload.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

#include "device/deviceCommands.h"
#include "device/identityRefresh.h"
#include "emu/emulatedCamera.h"
#include "emu/emulatedCameraSet.h"

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kSlice = 62;
constexpr uint8_t kAnswered[] = {0x02, 0x03, 0x04, 0xD0, 0xD2, 0xD3, 0xE0, 0xE1};

// Replies taken from the fuzz input, one slice per command.
class replyScript {
  public:
    void load(const uint8_t* data, std::size_t size) {
        std::lock_guard<std::mutex> lock(mutex_);
        bytes_.assign(data, data + size);
        offset_ = 0;
    }
    dravix::emu::commandReply next() {
        std::lock_guard<std::mutex> lock(mutex_);
        dravix::emu::commandReply reply;
        if (offset_ < bytes_.size()) {
            reply.status = bytes_[offset_];
            const std::size_t count = std::min(reply.payload.size(), bytes_.size() - offset_ - 1);
            std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset_ + 1), count,
                        reply.payload.begin());
            offset_ += kSlice;
        }
        return reply;
    }

  private:
    std::mutex mutex_;
    std::vector<uint8_t> bytes_;
    std::size_t offset_ = 0;
};

struct fixture {
    fixture() {
        camera->setReplyLatency(0us);
        for (uint8_t command : kAnswered) {
            camera->setCommandHandler(
                command, [this](const dravix::emu::commandPayload&) { return script.next(); });
        }
        if (!hid->open(dravix::emu::emulatedCamera::kVendorId,
                       dravix::emu::emulatedCamera::kProductId)) {
            std::fprintf(stderr, "fuzzDeviceReplies: the emulated camera did not open\n");
            std::abort();
        }
    }

    replyScript script;
    dravix::emu::emulatedCameraSet cameras{1};
    std::shared_ptr<dravix::emu::emulatedCamera> camera = cameras.camera(1);
    std::shared_ptr<dravix::fx3Hid> hid =
        std::make_shared<dravix::fx3Hid>(dravix::libraryLog(), cameras.hidBackend());
    DeviceStatus status{};
    std::recursive_mutex statusMutex;
    dravix::deviceCommands commands{dravix::libraryLog(), [this] { return hid; }, status,
                                    statusMutex};
    dravix::identityRefresh refresh{dravix::libraryLog(), commands};
};

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzzDeviceReplies: %s\n", what);
        std::abort();
    }
}

void runEveryOperation(fixture& f) {
    VersionInfo version{};
    BuildInfo build{};
    if (f.commands.getVersion(2, version, build) != 0) {
        check(version.patch == 0 && build.number == 0, "a failed version read left values");
    }
    uint8_t bytes[64] = {};
    f.commands.getHeadInfo(bytes);
    f.commands.fx3Config(0x00D3, 0x81, bytes, sizeof bytes);
    f.commands.fx3Config(0x00D2, 0x82, bytes, 40);
    const uint8_t reg[] = {0x00, 0x04};
    f.commands.i2cRead(0x50, reg, 2, bytes, 12);
    f.commands.i2cWrite(0x50, reg, 2, bytes, 20);
    f.refresh.controllerFull();
    f.refresh.head();
    check(f.status.usbSpeed <= 3, "USB speed out of range");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static fixture f;
    f.script.load(data, size);
    runEveryOperation(f);
    return 0;
}
