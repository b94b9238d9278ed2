#include "device/identityRefresh.h"

#include <utility>

namespace dravix {

namespace {

// Component numbers of the identity commands.
constexpr uint8_t kFx3 = 0;
constexpr uint8_t kCcuFpga = 1;
constexpr uint8_t kElc = 3;
constexpr uint8_t kFpgaHead = 4;
constexpr uint8_t kDisposable = 5;
constexpr uint8_t kRecFpga = 8;
constexpr uint8_t kRecService = 9;
constexpr uint8_t kRecLinux = 11;

constexpr uint16_t kFourPartPatch = 9999;

}  // namespace

identityRefresh::identityRefresh(logger& log, deviceCommands& commands)
    : log_(log), commands_(commands) {}

template <typename Fields>
void identityRefresh::version(uint8_t component, Fields fields) {
    VersionInfo version{};
    BuildInfo build{};
    commands_.getVersion(component, version, build);
    commands_.updateStatus([&](DeviceStatus& status) {
        auto [versionField, buildField] = fields(status);
        *versionField = version;
        *buildField = build;
    });
}

void identityRefresh::build(uint8_t component, BuildInfo DeviceStatus::*field) {
    BuildInfo build{};
    commands_.getBuild(component, build);
    commands_.updateStatus([&](DeviceStatus& status) { status.*field = build; });
}

DeviceStatus identityRefresh::snapshot() {
    DeviceStatus copy{};
    commands_.updateStatus([&](DeviceStatus& status) { copy = status; });
    return copy;
}

void identityRefresh::controller() {
    version(kFx3, [](DeviceStatus& s) { return std::pair(&s.versionFx3, &s.buildFx3); });
    version(kCcuFpga,
            [](DeviceStatus& s) { return std::pair(&s.versionCcuFpga, &s.buildCcuFpga); });
    commands_.getUsbSpeed();
    const DeviceStatus s = snapshot();
    logVersion("FX3", s.versionFx3, s.buildFx3);
    logVersion("CCU FPGA", s.versionCcuFpga, s.buildCcuFpga);
    logSerial("CCU", s.serialFx3);
}

void identityRefresh::controllerFull() {
    version(kFx3, [](DeviceStatus& s) { return std::pair(&s.versionFx3, &s.buildFx3); });
    version(kCcuFpga,
            [](DeviceStatus& s) { return std::pair(&s.versionCcuFpga, &s.buildCcuFpga); });
    version(kRecFpga,
            [](DeviceStatus& s) { return std::pair(&s.versionRecFpga, &s.buildRecFpga); });
    version(kRecService,
            [](DeviceStatus& s) { return std::pair(&s.versionRecService, &s.buildRecService); });
    build(kRecLinux, &DeviceStatus::buildRecLinux);
    commands_.getUsbSpeed();
    SerialInfo serial{};
    commands_.getSerialNumber(kFx3, serial);
    uint32_t revision = 0;
    commands_.getHardwareRev(kFx3, revision);
    commands_.updateStatus([&](DeviceStatus& status) {
        status.serialFx3 = serial;
        status.hardwareRevFx3 = revision;
    });
    const DeviceStatus s = snapshot();
    logVersion("FX3", s.versionFx3, s.buildFx3);
    logVersion("CCU FPGA", s.versionCcuFpga, s.buildCcuFpga);
    logSerial("CCU", s.serialFx3);
    logVersion("Rec FPGA", s.versionRecFpga, s.buildRecFpga);
    logVersion("Rec Service", s.versionRecService, s.buildRecService);
    logBuild("Rec LNX", s.buildRecLinux);
    commands_.getOutputSize();
}

void identityRefresh::head() {
    version(kElc, [](DeviceStatus& s) { return std::pair(&s.versionElc, &s.buildElc); });
    version(kFpgaHead,
            [](DeviceStatus& s) { return std::pair(&s.versionFpgaHead, &s.buildFpgaHead); });
    build(kDisposable, &DeviceStatus::buildDisposable);
    uint8_t info[deviceCommands::kHeadInfoSize] = {};
    const bool haveInfo = commands_.getHeadInfo(info) == 0;
    SerialInfo elcSerial{};
    commands_.getSerialNumber(kElc, elcSerial);
    SerialInfo disposableSerial{};
    commands_.getSerialNumber(kDisposable, disposableSerial);
    uint32_t revision = 0;
    commands_.getHardwareRev(kElc, revision);
    commands_.updateStatus([&](DeviceStatus& status) {
        if (haveInfo) {
            std::copy(std::begin(info), std::end(info), status.headInfo);
        }
        status.serialElc = elcSerial;
        status.serialDisposable = disposableSerial;
        status.hardwareRevElc = revision;
    });
    const DeviceStatus s = snapshot();
    logVersion("ELC", s.versionElc, s.buildElc);
    logVersion("FPGA Head", s.versionFpgaHead, s.buildFpgaHead);
    logBuild("Disposable", s.buildDisposable);
}

void identityRefresh::recorder() {
    version(kRecFpga,
            [](DeviceStatus& s) { return std::pair(&s.versionRecFpga, &s.buildRecFpga); });
    version(kRecService,
            [](DeviceStatus& s) { return std::pair(&s.versionRecService, &s.buildRecService); });
    build(kRecLinux, &DeviceStatus::buildRecLinux);
    const DeviceStatus s = snapshot();
    logVersion("Rec FPGA", s.versionRecFpga, s.buildRecFpga);
    logVersion("Rec Service", s.versionRecService, s.buildRecService);
    logBuild("Rec LNX", s.buildRecLinux);
}

void identityRefresh::logVersion(const char* name, const VersionInfo& version,
                                 const BuildInfo& build) {
    if (version.patch > kFourPartPatch) {
        log_.info("%s\n\tversion: %d.%d.%d.%d\n\tbuild:   %d.%02d.%d.%d", name, version.major,
                  version.minor, version.patch - 10000, version.patch / 10000, build.part[0],
                  build.part[1], build.part[2], build.number);
        return;
    }
    log_.info("%s\n\tversion: %d.%d.%d\n\tbuild:   %d.%02d.%d.%d", name, version.major,
              version.minor, version.patch, build.part[0], build.part[1], build.part[2],
              build.number);
}

void identityRefresh::logBuild(const char* name, const BuildInfo& build) {
    log_.info("%s build: %d.%02d.%d.%d", name, build.part[0], build.part[1], build.part[2],
              build.number);
}

void identityRefresh::logSerial(const char* name, const SerialInfo& serial) {
    log_.info("%s SNO: %d.%02d.%d", name, serial.part[0], serial.part[1], serial.number);
}

}  // namespace dravix
