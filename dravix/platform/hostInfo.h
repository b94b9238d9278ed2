#pragma once

#include <cstdint>
#include <ctime>

namespace dravix::platform {

// The local time now.
std::tm localTimeNow();
// The major version of the running operating system (the kernel's release), 0 if unknown.
uint32_t systemMajorVersion();

}  // namespace dravix::platform
