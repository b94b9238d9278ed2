#include "platform/hostInfo.h"

#include <sys/utsname.h>

#include <cstdlib>

namespace dravix::platform {

std::tm localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// The number before the first '.' of the release ("6.1.0-18-amd64" gives 6).
uint32_t systemMajorVersion() {
    struct utsname name {};
    if (::uname(&name) != 0) {
        return 0;
    }
    char* end = nullptr;
    const unsigned long major = std::strtoul(name.release, &end, 10);
    return end == name.release ? 0 : static_cast<uint32_t>(major);
}

}  // namespace dravix::platform
