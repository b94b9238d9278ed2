// The logging exports: thin wrappers over the library log. Each one acts only while the log is
// open (between the first Init, InitName or GetApiVersion and the next Destroy).
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "api/exportGuard.h"
#include "dravix/dravix.h"
#include "log/logger.h"
#include "platform/config.h"

namespace dravix {
namespace {

// The longest path the system takes, without its terminator. The client's text is read no
// further, so an unterminated buffer is never read past its end when it is at least this long.
constexpr std::size_t kMaxLogFilePath = PATH_MAX - 1;

logger* openLibraryLog() {
    logger& log = libraryLog();
    return log.isOpen() ? &log : nullptr;
}

// The client's mask widened by the bits configured for the user.
uint8_t withConfiguredBits(uint8_t mask, const char* configName) {
    return static_cast<uint8_t>(mask | platform::readConfigValue(configName));
}

}  // namespace
}  // namespace dravix

using namespace dravix;

extern "C" {

void ZEL_CAM_setLogCallback(LogCallback callback, void* user, uint8_t mask) try {
    if (logger* log = openLibraryLog()) {
        log->setCallback(callback, user, withConfiguredBits(mask, "CALLBACK_LOG_LEVEL"));
    }
} catch (...) {
    failedByException(__func__);
}

void ZEL_CAM_stopLogCallback(void) try {
    if (logger* log = openLibraryLog()) {
        log->stopCallback();
    }
} catch (...) {
    failedByException(__func__);
}

void ZEL_CAM_setLogLevel(uint8_t mask) try {
    if (logger* log = openLibraryLog()) {
        log->setLevelMask(withConfiguredBits(mask, "LOG_LEVEL"));
    }
} catch (...) {
    failedByException(__func__);
}

void ZEL_CAM_setLogFilePath(const char* path) try {
    if (path == nullptr) {
        return;
    }
    if (logger* log = openLibraryLog()) {
        const std::size_t length = strnlen(path, kMaxLogFilePath);
        if (length == kMaxLogFilePath) {
            log->warn("main::ZEL_CAM_setLogFilePath: path read up to %zu characters", length);
        }
        log->setFilePath(std::string(path, length));
    }
} catch (...) {
    failedByException(__func__);
}

void ZEL_CAM_setLogState(int32_t enable, int32_t fileEnable) try {
    if (logger* log = openLibraryLog()) {
        log->start(enable == 1, fileEnable == 1);
    }
} catch (...) {
    failedByException(__func__);
}

uint32_t ZEL_CAM_getLogTotalErrorCnt(void) try {
    logger* log = openLibraryLog();
    return log != nullptr ? log->errorCount() : 0;
} catch (...) {
    failedByException(__func__);
    return 0;
}

}  // extern "C"
