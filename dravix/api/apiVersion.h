#pragma once

#include <climits>
#include <cstdint>

// The version of the exported interface and the build of this library.
namespace dravix::apiVersion {

constexpr int kMajor = 2;
constexpr int kMinor = 2;
constexpr int kPatch = 0;
constexpr uint32_t kNumber = (static_cast<uint32_t>(kMajor) << 24) |
                             (static_cast<uint32_t>(kMinor) << 16) |
                             (static_cast<uint32_t>(kPatch) << 8);

constexpr int kBuildYear = 22;
constexpr int kBuildWeek = 13;
constexpr int kBuildMinor = 4;
constexpr int kBuildNumber = 911;

// Width of a pointer of this build, reported in the log as "dll: <n> bit ".
constexpr int kPointerBits = static_cast<int>(sizeof(void*) * CHAR_BIT);

// Callers hand in text buffers of at least this many bytes.
constexpr std::size_t kTextBufferSize = 20;

}  // namespace dravix::apiVersion
