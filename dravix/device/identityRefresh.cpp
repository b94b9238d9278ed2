#include "device/identityRefresh.h"

#include <algorithm>
#include <iterator>
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

// The version and build fields of each component in the status record.
std::pair<VersionInfo*, BuildInfo*> fx3Fields(DeviceStatus& s) {
    return {&s.versionFx3, &s.buildFx3};
}
std::pair<VersionInfo*, BuildInfo*> ccuFpgaFields(DeviceStatus& s) {
    return {&s.versionCcuFpga, &s.buildCcuFpga};
}
std::pair<VersionInfo*, BuildInfo*> elcFields(DeviceStatus& s) {
    return {&s.versionElc, &s.buildElc};
}
std::pair<VersionInfo*, BuildInfo*> fpgaHeadFields(DeviceStatus& s) {
    return {&s.versionFpgaHead, &s.buildFpgaHead};
}
std::pair<VersionInfo*, BuildInfo*> recFpgaFields(DeviceStatus& s) {
    return {&s.versionRecFpga, &s.buildRecFpga};
}
std::pair<VersionInfo*, BuildInfo*> recServiceFields(DeviceStatus& s) {
    return {&s.versionRecService, &s.buildRecService};
}

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

bool identityRefresh::run(const stopCheck& stop, std::initializer_list<step> steps) {
    for (const step& next : steps) {
        if (stop && stop()) {
            return false;
        }
        next();
    }
    return true;
}

bool identityRefresh::controller(const stopCheck& stop) {
    const bool done =
        run(stop, {[&] { version(kFx3, fx3Fields); }, [&] { version(kCcuFpga, ccuFpgaFields); },
                   [&] { commands_.getUsbSpeed(); }});
    if (!done) {
        return false;
    }
    const DeviceStatus s = snapshot();
    logVersion("FX3", s.versionFx3, s.buildFx3);
    logVersion("CCU FPGA", s.versionCcuFpga, s.buildCcuFpga);
    logSerial("CCU", s.serialFx3);
    return true;
}

bool identityRefresh::controllerFull(const stopCheck& stop) {
    SerialInfo serial{};
    uint32_t revision = 0;
    const bool done = run(
        stop,
        {[&] { version(kFx3, fx3Fields); }, [&] { version(kCcuFpga, ccuFpgaFields); },
         [&] { version(kRecFpga, recFpgaFields); }, [&] { version(kRecService, recServiceFields); },
         [&] { build(kRecLinux, &DeviceStatus::buildRecLinux); }, [&] { commands_.getUsbSpeed(); },
         [&] { commands_.getSerialNumber(kFx3, serial); },
         [&] { commands_.getHardwareRev(kFx3, revision); }});
    if (!done) {
        return false;
    }
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
    return run(stop, {[&] { commands_.getOutputSize(); }});
}

bool identityRefresh::head(const stopCheck& stop) {
    uint8_t info[deviceCommands::kHeadInfoSize] = {};
    bool haveInfo = false;
    SerialInfo elcSerial{};
    SerialInfo disposableSerial{};
    uint32_t revision = 0;
    const bool done =
        run(stop, {[&] { version(kElc, elcFields); }, [&] { version(kFpgaHead, fpgaHeadFields); },
                   [&] { build(kDisposable, &DeviceStatus::buildDisposable); },
                   [&] { haveInfo = commands_.getHeadInfo(info) == 0; },
                   [&] { commands_.getSerialNumber(kElc, elcSerial); },
                   [&] { commands_.getSerialNumber(kDisposable, disposableSerial); },
                   [&] { commands_.getHardwareRev(kElc, revision); }});
    if (!done) {
        return false;
    }
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
    return true;
}

bool identityRefresh::recorder(const stopCheck& stop) {
    const bool done = run(stop, {[&] { version(kRecFpga, recFpgaFields); },
                                 [&] { version(kRecService, recServiceFields); },
                                 [&] { build(kRecLinux, &DeviceStatus::buildRecLinux); }});
    if (!done) {
        return false;
    }
    const DeviceStatus s = snapshot();
    logVersion("Rec FPGA", s.versionRecFpga, s.buildRecFpga);
    logVersion("Rec Service", s.versionRecService, s.buildRecService);
    logBuild("Rec LNX", s.buildRecLinux);
    return true;
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
