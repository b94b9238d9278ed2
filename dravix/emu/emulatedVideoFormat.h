#pragma once

#include <cstddef>
#include <cstdint>

namespace dravix::emu {

// The size and rate of an emulated camera's YUY2 stream.
struct emulatedVideoFormat {
    static constexpr uint16_t kMinSide = 2;
    static constexpr uint16_t kMaxSide = 4096;
    static constexpr uint16_t kMaxFps = 240;
    static constexpr const char* kEnvironmentVariable = "DRAVIX_CAMEMU_FORMAT";

    uint16_t width = 1920;
    uint16_t height = 1080;
    uint16_t fps = 30;

    // Even sides of kMinSide..kMaxSide (YUY2 needs an even width; the camera's modes have even
    // heights too) and 1..kMaxFps frames per second.
    static bool isValid(unsigned width, unsigned height, unsigned fps);
    // A "WxH@FPS" value such as "1280x720@60"; null, malformed or out-of-range text gives the
    // default format.
    static emulatedVideoFormat parse(const char* text);
    // The format that DRAVIX_CAMEMU_FORMAT asks for.
    static emulatedVideoFormat fromEnvironment();

    std::size_t frameBytes() const { return std::size_t{width} * height * 2; }

    bool operator==(const emulatedVideoFormat& other) const {
        return width == other.width && height == other.height && fps == other.fps;
    }
    bool operator!=(const emulatedVideoFormat& other) const { return !(*this == other); }
};

}  // namespace dravix::emu
