#include "emu/emulatedVideoFormat.h"

#include <cstdlib>

namespace dravix::emu {

namespace {

// Reads a decimal number of at most five digits up to `end`; advances `text` past it.
bool readNumber(const char*& text, char end, unsigned& value) {
    value = 0;
    int digits = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (++digits > 5) {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(*text - '0');
    }
    if (digits == 0 || *text != end) {
        return false;
    }
    if (end != '\0') {
        ++text;
    }
    return true;
}

}  // namespace

bool emulatedVideoFormat::isValid(unsigned width, unsigned height, unsigned fps) {
    auto validSide = [](unsigned side) {
        return side >= kMinSide && side <= kMaxSide && side % 2 == 0;
    };
    return validSide(width) && validSide(height) && fps >= 1 && fps <= kMaxFps;
}

emulatedVideoFormat emulatedVideoFormat::parse(const char* text) {
    if (text == nullptr) {
        return {};
    }
    unsigned width = 0;
    unsigned height = 0;
    unsigned fps = 0;
    bool read = readNumber(text, 'x', width) && readNumber(text, '@', height) &&
                readNumber(text, '\0', fps);
    if (!read || !isValid(width, height, fps)) {
        return {};
    }
    return {static_cast<uint16_t>(width), static_cast<uint16_t>(height),
            static_cast<uint16_t>(fps)};
}

emulatedVideoFormat emulatedVideoFormat::fromEnvironment() {
    return parse(std::getenv(kEnvironmentVariable));
}

}  // namespace dravix::emu
