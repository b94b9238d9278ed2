#include "log/logLineFormatter.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace dravix {
namespace {

// Appends `length` bytes of `text` to the line, never past its limit.
void appendBytes(char* out, std::size_t& used, const char* text, std::size_t length) {
    const std::size_t room = logLineFormatter::kMaxLineLength - used;
    const std::size_t count = length < room ? length : room;
    std::memcpy(out + used, text, count);
    used += count;
}

void appendText(char* out, std::size_t& used, const char* text) {
    appendBytes(out, used, text, std::strlen(text));
}

}  // namespace

const char* logLineFormatter::levelName(uint8_t level) {
    switch (level) {
        case LOG_ERROR:
            return "ERROR";
        case LOG_WARN:
            return "WARN";
        case LOG_INFO:
            return "INFO";
        case LOG_DEBUG:
            return "DEBUG";
        case LOG_ALL:
            return "ALL";
        default:
            return "VERBOSE";
    }
}

std::size_t logLineFormatter::format(const logEntry& entry, char* out) {
    if (!hasStamp_ || entry.time != stampTime_) {
        updateStamp(entry.time);
    }
    std::size_t used = 0;
    appendBytes(out, used, stamp_, stampLength_);
    appendText(out, used, levelName(entry.level));
    appendBytes(out, used, "\t\t", 2);
    appendBytes(out, used, entry.text, strnlen(entry.text, sizeof entry.text));
    appendBytes(out, used, "\n", 1);
    return used;
}

void logLineFormatter::updateStamp(int64_t time) {
    const time_t seconds = static_cast<time_t>(time);
    struct tm local {};
    localtime_r(&seconds, &local);
    const int length = std::snprintf(stamp_, sizeof stamp_, "%.4d-%.2d-%.2d  %.2d:%.2d:%.2d\t",
                                     local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                     local.tm_hour, local.tm_min, local.tm_sec);
    stampLength_ = length > 0 ? static_cast<std::size_t>(length) : 0;
    stampTime_ = time;
    hasStamp_ = true;
}

}  // namespace dravix
