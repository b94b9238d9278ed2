#include "api/camera.h"

namespace dravix {

camera::camera(logger& log, platform::videoBackend& video)
    : video_(std::make_unique<fx3UvcVid>(log, video)) {}

}  // namespace dravix
