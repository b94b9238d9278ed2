#pragma once

#include <functional>
#include <initializer_list>

#include "device/deviceCommands.h"
#include "dravix/dravix.h"
#include "log/logger.h"

namespace dravix {

// The sets of identity commands that refresh the camera's status record after a component
// started, each followed by its log lines. A failed command leaves its fields zeroed (or as
// they were) and the rest of the set still runs.
//
// Each set asks `stop` (when given) before every command and gives up, without its log lines,
// once it says true: a camera that is being closed does not wait for a set against a device
// that no longer answers. Each returns false when it gave up.
class identityRefresh {
  public:
    using stopCheck = std::function<bool()>;

    identityRefresh(logger& log, deviceCommands& commands);

    // The controller and its FPGA: versions, USB speed.
    bool controller(const stopCheck& stop = {});
    // The whole control unit after it started: versions of the controller, its FPGA and the
    // recorder, USB speed, serial number, hardware revision, then the output size.
    bool controllerFull(const stopCheck& stop = {});
    // The head: versions, the disposable part's build, head information, serial numbers,
    // hardware revision.
    bool head(const stopCheck& stop = {});
    // The recorder: versions and its system's build.
    bool recorder(const stopCheck& stop = {});

    // "<name>" with the version and build, in the four-part form for patches above 9999.
    void logVersion(const char* name, const VersionInfo& version, const BuildInfo& build);
    void logBuild(const char* name, const BuildInfo& build);
    void logSerial(const char* name, const SerialInfo& serial);

  private:
    using step = std::function<void()>;
    // Runs `steps` in order while `stop` allows; false when it stopped them.
    static bool run(const stopCheck& stop, std::initializer_list<step> steps);
    // getVersion of `component` into the two fields `field` picks from the status record.
    template <typename Fields>
    void version(uint8_t component, Fields fields);
    void build(uint8_t component, BuildInfo DeviceStatus::*field);
    DeviceStatus snapshot();

    logger& log_;
    deviceCommands& commands_;
};

}  // namespace dravix
