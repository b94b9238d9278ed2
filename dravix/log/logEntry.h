#pragma once

#include <cstdint>

namespace dravix {

// Level bits of a message.
enum logLevel : uint8_t {
    LOG_ERROR = 1,
    LOG_WARN = 2,
    LOG_INFO = 4,
    LOG_DEBUG = 8,
    LOG_VERBOSE = 16,
    LOG_ALL = 255,
};

// One queued message.
struct logEntry {
    uint32_t sequence;  // messages queued before this one
    int64_t time;       // seconds since 1970 (UTC) when queued
    uint8_t level;
    char text[256];  // NUL-terminated, at most 255 characters
};

}  // namespace dravix
