#include "api/libraryState.h"

#include <algorithm>
#include <string>

#include "log/logger.h"
#include "platform/config.h"

namespace dravix {

libraryState& libraryState::instance() {
    static libraryState state;
    return state;
}

camera* libraryState::cameraAt(int32_t index) const {
    return isValidIndex(index) ? cameraTable_[static_cast<std::size_t>(index)] : nullptr;
}

void libraryState::setCamera(int32_t index, camera* cam) {
    if (isValidIndex(index)) {
        cameraTable_[static_cast<std::size_t>(index)] = cam;
    }
}

bool libraryState::allSlotsEmpty() const {
    return std::all_of(cameraTable_.begin(), cameraTable_.end(),
                       [](const camera* cam) { return cam == nullptr; });
}

void libraryState::openLogIfAbsent() {
    logger& log = libraryLog();
    if (log.isOpen()) {
        return;
    }
    const std::string path = platform::userProfileDirectory() + "/dravix.log";
    log.open(path, platform::readConfigValue("LOG_DISABLE") == 0,
             platform::readConfigValue("FILELOG_ENABLE") == 1);
}

void libraryState::closeLog() {
    libraryLog().close();
}

}  // namespace dravix
