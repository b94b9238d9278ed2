#include "frameFormats.h"

namespace {

struct knownFormat {
    int64_t bytes;
    frameFormats::size size;
};

constexpr knownFormat kKnownFormats[] = {
    {4147200, {1920, 1080}}, {1843200, {1280, 720}}, {1881792, {1296, 726}}, {637632, {656, 486}},
    {320000, {400, 400}},    {316800, {400, 396}},   {125000, {250, 250}},   {84864, {208, 204}},
    {83200, {208, 200}},     {81600, {204, 200}},    {81536, {208, 196}},    {80000, {200, 200}},
    {78400, {200, 196}},     {75264, {196, 192}},
};

constexpr bool countsMatchSizes() {
    for (const knownFormat& f : kKnownFormats) {
        if (f.bytes != int64_t{f.size.width} * f.size.height * 2) {
            return false;
        }
    }
    return true;
}
static_assert(countsMatchSizes(), "every byte count is width x height x 2");

}  // namespace

frameFormats::size frameFormats::forByteCount(int64_t bytes) {
    for (const knownFormat& f : kKnownFormats) {
        if (f.bytes == bytes) {
            return f.size;
        }
    }
    return {0, 0};
}
